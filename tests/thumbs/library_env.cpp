// Every thumbs test reads and writes pictures: start the image library once.

#include <gtest/gtest.h>

#include "core/qt/canvas.h"
#include "formats/library.h"
#include "formats/qt/metafile_qt.h"

namespace {
class TLibraryEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        InitImageLibrary();
        RegisterMetafileFormats();
        InstallPGCanvas();
    }
};
const auto* g_env = ::testing::AddGlobalTestEnvironment(new TLibraryEnvironment);
} // namespace
