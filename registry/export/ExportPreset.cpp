#include "registry/export/ExportPreset.h"

#include <charconv>
#include <limits>

namespace velmora::registry {
namespace {

constexpr std::uint64_t MAX_KB = 1'000'000; // a gigabyte; beyond any photo

bool parseNumber(std::string_view text, std::uint64_t& value)
{
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    return failure == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool parseSize(std::string_view text, ExportPreset& preset)
{
    const std::size_t cross = text.find_first_of("xX");
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    if (cross == std::string_view::npos || !parseNumber(text.substr(0, cross), width)
        || !parseNumber(text.substr(cross + 1), height) || width == 0 || height == 0
        || width > 20'000 || height > 20'000)
        return false;
    preset.width = static_cast<int>(width);
    preset.height = static_cast<int>(height);
    return true;
}

// One option with its value into `preset`; false when the name is unknown
// or the value bad.
bool applyOption(std::string_view name, std::string_view value, ExportPreset& preset)
{
    std::uint64_t kb = 0;
    if (name == "--size")
        return parseSize(value, preset);
    if (!parseNumber(value, kb) || kb > MAX_KB)
        return false;
    if (name == "--max-kb" && kb > 0)
        preset.maxBytes = maxBytesForKb(kb);
    else if (name == "--min-kb")
        preset.minBytes = minBytesForKb(kb);
    else
        return false;
    return true;
}

} // namespace

ExportPreset registryPreset()
{
    return {358, 441, 0, maxBytesForKb(60), 350};
}

std::string registryPresetName()
{
    return "全国中小学学籍 358×441，小于60KB";
}

std::uint64_t maxBytesForKb(std::uint64_t kb)
{
    return kb == 0 ? 0 : kb * 1000 - 1;
}

std::uint64_t minBytesForKb(std::uint64_t kb)
{
    return kb * 1024;
}

CropRect cropForPreset(int width, int height, const ExportPreset& preset)
{
    if (width <= 0 || height <= 0 || preset.width <= 0 || preset.height <= 0)
        return {};
    const auto w = static_cast<std::int64_t>(width);
    const auto h = static_cast<std::int64_t>(height);
    if (w * preset.height > h * preset.width) {
        // Too wide: the same off either side.
        const auto keep = std::min<std::int64_t>(w, (h * preset.width + preset.height / 2) / preset.height);
        return {static_cast<int>((w - keep) / 2), 0, static_cast<int>(keep), height};
    }
    // Too tall (or exact): a quarter of the excess off the top, the rest off the bottom.
    const auto keep = std::min<std::int64_t>(h, (w * preset.height + preset.width / 2) / preset.width);
    return {0, static_cast<int>((h - keep) / 4), width, static_cast<int>(keep)};
}

std::optional<ExportPreset> presetFromOptions(const std::vector<std::string>& options, std::string& error)
{
    ExportPreset preset = registryPreset();
    for (std::size_t i = 0; i < options.size(); ++i) {
        std::string_view name = options[i];
        std::string_view value;
        if (const std::size_t equals = name.find('='); equals != std::string_view::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        } else if (i + 1 < options.size()) {
            value = options[++i];
        } else {
            error = "选项 " + std::string(name) + " 缺少取值";
            return std::nullopt;
        }
        if (!applyOption(name, value, preset)) {
            error = "无法识别的选项或取值：" + std::string(name) + " " + std::string(value);
            return std::nullopt;
        }
    }
    if (preset.minBytes >= preset.maxBytes) {
        error = "--min-kb 必须小于 --max-kb";
        return std::nullopt;
    }
    return preset;
}

} // namespace velmora::registry
