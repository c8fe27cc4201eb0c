#pragma once

// Where the astronaut's head lies in an exported file, found without the
// program's face finding: by matching her portrait (tests/portraits),
// rendered at the tilt she was placed with, against the picture over her own
// pixels (normalised cross-correlation), across scales and positions, at a
// quarter of the size first, then finely around the best.

#include <QImage>

namespace velmora::bench {

struct LocatedHead {
    double top = 0;     // the top of her hair, pixels of the picture
    double chin = 0;
    double centreX = 0;
    double match = 0;   // correlation of the best match, -1..1
};

// Searches heads of 0.4 to 0.95 of the picture's height whose centre lies
// in its middle (a third to two thirds across, a tenth to two thirds down).
LocatedHead locateHead(const QImage& picture, double tilt);

} // namespace velmora::bench
