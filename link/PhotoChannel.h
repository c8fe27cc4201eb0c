#pragma once

// The photo channel: the phone sends each photo as a 4-byte header, the image
// file's bytes and the end marker 02 02 02 02, written on its own, with no
// length anywhere. This class cuts photos out of the pieces the network
// delivers, whatever their boundaries.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::link {

class PhotoChannel {
public:
    // A transfer larger than this without an end marker is dropped: no phone
    // photo comes near it, and a sender that never ends must not fill memory.
    static constexpr std::size_t DEFAULT_BUFFER_LIMIT = std::size_t{512} * 1024 * 1024;
    static constexpr std::size_t HEADER_SIZE = 4;
    static constexpr std::string_view END_MARKER{"\x02\x02\x02\x02", 4};

    // `bufferLimit` in bytes, at least 1 (tests use small limits).
    explicit PhotoChannel(std::size_t bufferLimit = DEFAULT_BUFFER_LIMIT);

    // What happened to the transfers of this connection within one piece.
    enum class Step {
        Began,     // a transfer's first bytes arrived
        Completed, // a transfer ended: the next of `photos`
    };

    struct Outcome {
        // Photos completed by this piece, oldest first; usually none or one.
        // A photo may be empty (a transfer of fewer than eight bytes). Its
        // capacity exceeds its size by at most a quarter and 64 KiB, also
        // after a much larger transfer: photos waiting for the disk hold
        // about the memory their bytes need.
        std::vector<std::string> photos;
        // Every transfer begun or completed in this piece, in order. A
        // transfer that began in an earlier piece only completes here.
        std::vector<Step> steps;
        // True when this piece took the transfer past the limit and it was
        // dropped; bytes are then ignored until its end marker.
        bool dropped = false;
    };

    // Takes one received piece, of any length (the empty piece included).
    // A transfer completes when
    //  - the piece begins with the end marker: the photo is what came before
    //    this piece less the header, and the piece's further bytes begin the
    //    next transfer (when the phone's marker and the next header were
    //    merged into one read, counted in mergedAtFront()); but a JPEG or PNG
    //    photo goes on when the piece holds the next header and what follows
    //    it is no image's start (the piece began inside the photo's data);
    //  - an end marker further on, possibly split over two pieces, directly
    //    follows the end of a JPEG (FF D9) or PNG (IEND chunk) image that the
    //    photo began with (FF D8, or the PNG signature): the marker merged
    //    with the photo's last bytes, counted in mergedAfterImage().
    // Any other marker is photo data. Never throws except std::bad_alloc.
    Outcome takePiece(std::string_view piece);

    // Lets go of the transfer under way as if it had passed the limit: its
    // bytes are freed and further bytes are ignored up to its end marker.
    // Returns false when no transfer was under way (nothing buffered, or one
    // already dropped).
    bool dropTransfer();

    // Bytes of the transfer under way held or counted, its header included.
    std::size_t bufferedBytes() const { return m_headerBytes + m_buffer.size(); }
    // The photo bytes of the transfer under way that came so far (its header
    // is not kept); empty when none is under way or it was dropped.
    std::string_view transferBytes() const { return m_discarding ? std::string_view() : std::string_view(m_buffer); }
    std::uint64_t mergedAtFront() const { return m_mergedAtFront; }
    std::uint64_t mergedAfterImage() const { return m_mergedAfterImage; }
    std::uint64_t droppedTransfers() const { return m_dropped; }

private:
    enum class ImageKind { Unknown, Jpeg, Png, Other };

    void finish(std::size_t photoEnd, Outcome& out);
    void append(std::string_view bytes, Outcome& out);
    void findMergedMarkers(Outcome& out);
    ImageKind imageKind() const;
    bool imageGoesOn(std::string_view piece) const;
    bool endsImage(std::size_t markerPos) const;
    void keepTail();
    bool transferUnderWay() const { return m_headerBytes > 0 || !m_buffer.empty(); }

    std::size_t m_limit;
    std::size_t m_headerBytes = 0; // of the current transfer's header, counted only
    std::string m_buffer;          // the current transfer's photo bytes
    std::size_t m_scanFrom = 0;    // where a merged marker may still begin
    bool m_discarding = false;     // the transfer passed the limit
    ImageKind m_discardedKind = ImageKind::Unknown;
    std::uint64_t m_mergedAtFront = 0;
    std::uint64_t m_mergedAfterImage = 0;
    std::uint64_t m_dropped = 0;
};

} // namespace velmora::link
