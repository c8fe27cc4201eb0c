#pragma once

// Faces in a grey picture, by dlib's HOG frontal face detector (part of the
// library, no model file): pixels in, scored boxes out. What a box means for
// the student's head and the checks is decided above, in the framing rule
// and the checks.

#include "registry/face/Picture.h"

#include <memory>
#include <string>
#include <vector>

namespace velmora::registry {

// A face found, in the pixels of the picture searched. The box is square and
// runs about from the eyebrows to the chin and from cheek to cheek.
struct FaceBox {
    Area box;
    // The detector's confidence: 0 is its own threshold, a clear frontal face
    // scores about 0.5 to 1.5; higher is surer.
    double score = 0;
};

// The model the detectors are made from, as dlib serializes it: what the
// program reads from its built-in copy, to be compared with dlib's own.
std::string serializedFaceModel();

class FaceDetector {
public:
    // A detector lent to the calling thread for as long as the lease lives.
    // A search changes the detector's state, so two threads never share one;
    // detectors given back are lent again, so a thread pool or the export's
    // workers make one each only once. The first in the process reads the
    // model built into the program (FaceModel.inc, about 2 ms), later ones
    // copy it.
    class Lease {
    public:
        Lease();
        ~Lease();
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        FaceDetector& operator*() const { return *m_detector; }
        FaceDetector* operator->() const { return m_detector.get(); }

    private:
        std::unique_ptr<FaceDetector> m_detector;
    };

    FaceDetector();
    ~FaceDetector();
    FaceDetector(const FaceDetector&) = delete;
    FaceDetector& operator=(const FaceDetector&) = delete;

    // The faces of `picture` whose box is about `smallest` to `largest`
    // pixels wide (smallest > 0; a range wider than the picture is cut to
    // it), scoring at least `threshold`, strongest first. The picture is
    // scaled so that the smallest face fills the detector's 80-pixel window
    // (up by at most 4 times) and searched at as many steps of 1.2 as the
    // range needs, so the work grows with the picture's pixels at that scale.
    // Empty for an empty picture.
    std::vector<FaceBox> find(const GreyPicture& picture, double smallest, double largest, double threshold);

private:
    struct Engine;
    std::unique_ptr<Engine> m_engine;
};

} // namespace velmora::registry
