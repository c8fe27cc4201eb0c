// Writes registry/face/FaceModel.inc: dlib's HOG frontal face detector as
// dlib serializes it, in base64 lines. The library keeps the model packed,
// and unpacking it took about a quarter of a second of a core in every
// process that judges a photo (the first verdict of a session, every export
// run); reading it back from this plain form takes about 2 ms. Run it again
// after moving to another dlib version; registry_face_core_test checks that
// the copy still equals the library's own.
//
//   velmora-face-model-maker OUTPUT.inc

#include <dlib/base64.h>
#include <dlib/image_processing/frontal_face_detector.h>
#include <dlib/revision.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmora-face-model-maker OUTPUT.inc\n");
        return 2;
    }
    std::ostringstream model;
    dlib::serialize(dlib::get_frontal_face_detector(), model);
    std::istringstream plain(model.str());
    std::ostringstream encoded;
    dlib::base64().encode(plain, encoded);

    std::ofstream out(argv[1], std::ios::binary);
    out << "// Made by velmora-face-model-maker (tools/FaceModelMaker.cpp) from dlib " << DLIB_MAJOR_VERSION << '.'
        << DLIB_MINOR_VERSION << ": its HOG frontal face\n"
           "// detector as dlib serializes it, in base64. Do not edit; make it again.\n"
           "// One string a line: compilers limit the length of a single literal.\n"
           "static const char* const FACE_MODEL_BASE64[] = {\n";
    std::istringstream lines(encoded.str());
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            out << "    \"" << line << "\",\n";
    }
    out << "};\n";
    out.close();
    if (!out) {
        std::fprintf(stderr, "velmora-face-model-maker: could not write %s\n", argv[1]);
        return 1;
    }
    std::printf("%zu bytes of model written to %s\n", model.str().size(), argv[1]);
    return 0;
}
