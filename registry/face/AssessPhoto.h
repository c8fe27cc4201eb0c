#pragma once

// The face checks of a stored photo from its bytes, in one call: decoded
// once with Qt's image reader (DecodedPhoto.h: a half of a 12-megapixel
// phone photo, which the checks see at a quarter), turned upright by its
// orientation tag, and judged by assessPicture. About 80 to 200 ms of one
// core for a 12-megapixel photo.
//
// For the window's verdict, 名单核对 and the export alike:
//
//   const PhotoAssessment judged = assessPhoto(bytes);
//   label->setText(verdictText(judged.verdict)); // "可用于学籍上传" or "需重拍：照片模糊"

#include "registry/face/PhotoAssessment.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::registry {

// Makes Qt find its image plug-ins now, on the calling thread: call it on
// the main thread before other threads read photos. Qt lists the plug-in
// folder with a file pattern the first time any thread reads an image, and
// a pattern match leaves a thread_local of Qt's behind in that thread; with
// mingw-w64's runtime that one is destroyed after its storage is freed, so
// the thread crashed when it ended (velmora-photos.exe export under Wine:
// each run under winedbg, now and then without).
void prepareImageReading();

// Safe to call on several threads at once (each call borrows a detector of
// its own; the first in the process reads the detector's model, about
// 2 ms). `shape` is the registry's picture size, 358 × 441 unless a 自定义
// preset says otherwise. A file Qt cannot decode gives
// unreadablePhoto().
PhotoAssessment assessPhoto(std::string_view bytes, const FrameShape& shape = {});
// The same, letting go of its hold on the photo's bytes as soon as they are
// decoded (a photo the window has replaced may be held by nothing else,
// and photos in memory are bounded by the memory they hold). Empty when
// `givenUp`, asked once the photo is decoded, says the verdict is no longer
// wanted: the checks are not run and their memory is let go at once.
std::optional<PhotoAssessment> assessPhoto(std::shared_ptr<const std::string> bytes,
                                           const std::function<bool()>& givenUp, const FrameShape& shape = {});

// What assessPhoto holds besides the bytes themselves, at most: for the
// size in their header (0 when they have none), or for a photo of `width`
// × `height` pixels (about 20 MB for 12 megapixels).
std::size_t judgingMemory(std::string_view bytes);
std::size_t judgingMemory(int width, int height);

// The verdict of the photo file `photo` as 名单核对 and `velmora-photos
// check` keep it: "" when it passes, else the reason. A file that cannot be
// read is one the export could not send either ("照片不完整").
std::string judgePhotoFile(const std::filesystem::path& photo);

} // namespace velmora::registry
