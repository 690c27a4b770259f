#pragma once

// Registers the support request form with the interface factory under
// "QVMSupportRequest" / "QVMSupportRequestController", its initial (and only)
// controller. Start-up calls it once; a second call changes nothing.
void installSupportPanes();
