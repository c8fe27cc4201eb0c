// velmora-qr-decode IN OUT: decodes the grey image in IN (its side as a
// decimal line, then side × side bytes) and writes to OUT "ok" or "none",
// the error-correction level on the next line, then the content bytes. The
// Windows build's tests, run under Wine, decode their pictures with it.

#include "QrDecode.h"

#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    std::ifstream in(argv[1], std::ios::binary);
    int side = 0;
    in >> side;
    in.get();
    std::vector<std::uint8_t> luminance((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
    if (side <= 0 || luminance.size() != static_cast<std::size_t>(side) * static_cast<std::size_t>(side))
        return 2;
    const auto decoded = velmora::qr::test::decodeLuminance(luminance, side);
    std::ofstream out(argv[2], std::ios::binary);
    out << (decoded.ok ? "ok" : "none") << '\n' << decoded.ecLevel << '\n' << decoded.bytes;
    return out ? 0 : 1;
}
