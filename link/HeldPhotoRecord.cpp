#include "link/HeldPhotoRecord.h"

#include "platform/Files.h"

#include <charconv>
#include <map>

namespace velmora::link {

const std::string_view HELD_RECORD_MAGIC = "velmora held photo 1";

namespace {

constexpr std::size_t SEQUENCE_DIGITS = 20;
constexpr std::size_t NAME_PART_LIMIT = 80;
constexpr std::string_view HELD_SUFFIX = ".held";

std::string hex(std::string_view bytes)
{
    static const char* const DIGITS = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char byte : bytes) {
        out.push_back(DIGITS[byte >> 4]);
        out.push_back(DIGITS[byte & 0xF]);
    }
    return out;
}

std::optional<std::string> unhex(std::string_view text)
{
    if (text.size() % 2 != 0)
        return std::nullopt;
    std::string out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        unsigned value = 0;
        const auto parsed = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
        if (parsed.ec != std::errc() || parsed.ptr != text.data() + i + 2)
            return std::nullopt;
        out.push_back(static_cast<char>(value));
    }
    return out;
}

// At most `limit` bytes of UTF-8 `text`, never ending inside a character.
std::string_view utf8Prefix(std::string_view text, std::size_t limit)
{
    if (text.size() <= limit)
        return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

std::optional<std::uint64_t> number(std::string_view text)
{
    std::uint64_t value = 0;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || parsed.ec != std::errc() || parsed.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

// The lines before the blank one, as key and value; nullopt when there is
// no blank line within the head or a line has no blank after its key.
std::optional<std::map<std::string, std::string, std::less<>>> headerLines(std::string_view head,
                                                                          std::size_t& end)
{
    std::map<std::string, std::string, std::less<>> lines;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t newline = head.find('\n', pos);
        if (newline == std::string_view::npos)
            return std::nullopt;
        const std::string_view line = head.substr(pos, newline - pos);
        pos = newline + 1;
        if (line.empty()) {
            end = pos;
            return lines;
        }
        const std::size_t blank = line.find(' ');
        if (blank == std::string_view::npos)
            return std::nullopt;
        lines.emplace(std::string(line.substr(0, blank)), std::string(line.substr(blank + 1)));
    }
}

} // namespace

std::string heldFileName(std::uint64_t sequence, std::string_view shownName)
{
    std::string digits = std::to_string(sequence);
    std::string name(SEQUENCE_DIGITS - std::min(SEQUENCE_DIGITS, digits.size()), '0');
    name += digits;
    if (!shownName.empty()) {
        name.push_back(' ');
        // A file-name part may still hold "/" levels: they must not make
        // the record a file of some folder below.
        for (char c : utf8Prefix(shownName, NAME_PART_LIMIT))
            name.push_back(c == '/' || c == '\\' ? '_' : c);
    }
    return name + std::string(HELD_SUFFIX);
}

std::optional<std::uint64_t> heldSequence(std::string_view fileName)
{
    if (fileName.size() < SEQUENCE_DIGITS + HELD_SUFFIX.size() || !fileName.ends_with(HELD_SUFFIX))
        return std::nullopt;
    if (fileName.size() > SEQUENCE_DIGITS + HELD_SUFFIX.size() && fileName[SEQUENCE_DIGITS] != ' ')
        return std::nullopt;
    return number(fileName.substr(0, SEQUENCE_DIGITS));
}

std::string encodeHeldRecord(const HeldPhotoRecord& record, std::string_view photo)
{
    const StoreJob& job = record.job;
    std::string text(HELD_RECORD_MAGIC);
    text += "\nsequence " + std::to_string(record.sequence);
    text += "\ncount " + std::to_string(job.count);
    text += "\nname " + hex(job.name.gbk);
    text += "\nunicode " + hex(job.name.unicode);
    text += "\nfolder " + hex(platform::utf8FromPath(job.receiveDirectory));
    text += "\nbytes " + std::to_string(photo.size());
    text += "\n\n";
    text.reserve(text.size() + photo.size());
    text += photo;
    return text;
}

std::optional<HeldPhotoRecord> decodeHeldRecord(std::string_view head, std::uint64_t fileSize,
                                                std::size_t& photoOffset)
{
    const std::size_t firstLine = head.find('\n');
    if (firstLine == std::string_view::npos || head.substr(0, firstLine) != HELD_RECORD_MAGIC)
        return std::nullopt;
    std::size_t end = 0;
    const auto lines = headerLines(head.substr(firstLine + 1), end);
    if (!lines)
        return std::nullopt;
    const auto field = [&](std::string_view key) -> std::optional<std::string> {
        const auto found = lines->find(key);
        return found == lines->end() ? std::nullopt : std::optional<std::string>(found->second);
    };
    HeldPhotoRecord record;
    const auto sequence = field("sequence");
    const auto count = field("count");
    const auto name = field("name");
    const auto bytes = field("bytes");
    if (!sequence || !count || !name || !bytes)
        return std::nullopt;
    const auto sequenceValue = number(*sequence);
    const auto countValue = number(*count);
    const auto gbk = unhex(*name);
    const auto unicode = unhex(field("unicode").value_or(std::string()));
    const auto folder = unhex(field("folder").value_or(std::string()));
    const auto photoBytes = number(*bytes);
    if (!sequenceValue || !countValue || !gbk || !unicode || !folder || !photoBytes)
        return std::nullopt;
    photoOffset = firstLine + 1 + end;
    if (fileSize < photoOffset || fileSize - photoOffset != *photoBytes)
        return std::nullopt;
    record.sequence = *sequenceValue;
    record.photoBytes = *photoBytes;
    record.job.kind = StoreJob::Kind::Photo;
    record.job.count = *countValue;
    record.job.name = PhotoName(*gbk, *unicode);
    record.job.receiveDirectory = platform::pathFromUtf8(*folder);
    return record;
}

} // namespace velmora::link
