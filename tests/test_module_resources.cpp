// The pictures belong to the module: they are there while libMonitor.so is
// loaded and gone once it is unloaded.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <QFile>
#include <QImage>

namespace {

const char kProbe[] = ":/monitor/LISTPASS7.bmp";

TEST(ModuleResources, RegisteredWhileTheLibraryIsLoaded) {
  ASSERT_FALSE(QFile::exists(kProbe)) << "the test itself must not carry the pictures";
  void* module = dlopen(MONITOR_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  EXPECT_TRUE(QFile::exists(kProbe));
  EXPECT_EQ(QImage(kProbe).size(), QSize(48, 48));
  EXPECT_TRUE(QFile::exists(":/monitor/5049.png"));
  ASSERT_EQ(dlclose(module), 0);
  // Unique symbols (C++ inline variables of the standard library) can keep
  // a library mapped after its last dlclose; then nothing was unloaded.
  if (void* still = dlopen(MONITOR_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD)) {
    dlclose(still);
    GTEST_SKIP() << "the module stays loaded after dlclose (unique symbols); unloading cannot be observed";
  }
  EXPECT_FALSE(QFile::exists(kProbe));
}

}  // namespace
