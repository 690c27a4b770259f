#include "startup/QVFontConfigPreload.h"

#include <fontconfig/fontconfig.h>

QVFontConfigPreload::QVFontConfigPreload() : m_thread([] { FcInit(); }) {}

QVFontConfigPreload::~QVFontConfigPreload() {
    m_thread.join();
}
