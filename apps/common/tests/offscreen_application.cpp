#include "offscreen_application.h"

#include <cstdlib>

namespace {
char programName[] = "appcommon_tests";
}

void OffscreenApplication::SelectOffscreenPlatform() { setenv("QT_QPA_PLATFORM", "offscreen", 1); }

OffscreenApplication::OffscreenApplication() : argv_{programName, nullptr} {
  SelectOffscreenPlatform();
  application_ = std::make_unique<QApplication>(argc_, argv_);
}

OffscreenApplication::~OffscreenApplication() = default;
