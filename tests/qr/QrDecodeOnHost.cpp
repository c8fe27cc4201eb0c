// The Windows build's decoder: ZXing-cpp runs on the host, in the native
// build's velmora-qr-decode, fed through two scratch files.

#include "QrDecode.h"

#include "HostProgram.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace velmora::qr::test {

Decoded decodeLuminance(const std::vector<std::uint8_t>& luminance, int side)
{
    namespace fs = std::filesystem;
    const fs::path stem = fs::temp_directory_path()
        / ("velmora-qr-" + std::to_string(std::random_device{}()));
    const fs::path in = fs::path(stem) += ".lum";
    const fs::path out = fs::path(stem) += ".txt";
    {
        std::ofstream file(in, std::ios::binary);
        file << side << '\n';
        file.write(reinterpret_cast<const char*>(luminance.data()),
                   static_cast<std::streamsize>(luminance.size()));
    }
    Decoded decoded;
    if (velmora::test::runHostProgram(VELMORA_HOST_QR_DECODER,
                                      {velmora::test::hostPath(in), velmora::test::hostPath(out)})
        == 0) {
        std::ifstream file(out, std::ios::binary);
        std::string status;
        std::getline(file, status);
        std::getline(file, decoded.ecLevel);
        decoded.bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        decoded.ok = status == "ok";
    }
    std::error_code ignored;
    fs::remove(in, ignored);
    fs::remove(out, ignored);
    return decoded;
}

} // namespace velmora::qr::test
