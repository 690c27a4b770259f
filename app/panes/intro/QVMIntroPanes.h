#pragma once

class QVMInterfaceFactory;

// Registers the onboarding, its page and the registration offer under "QVMIntro".
void installIntroPanes(QVMInterfaceFactory &factory);
