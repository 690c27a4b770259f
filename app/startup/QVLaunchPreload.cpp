#include "startup/QVLaunchPreload.h"

#include "platform/NetworkStatus.h"

#include <fontconfig/fontconfig.h>

QVLaunchPreload::QVLaunchPreload()
    : m_thread([] {
          FcInit();
          platform::NetworkStatus::prepareMonitor();
      }) {}

QVLaunchPreload::~QVLaunchPreload() {
    m_thread.join();
}
