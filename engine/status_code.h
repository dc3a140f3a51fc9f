#pragma once

namespace vantrel {

// What the window's status line shows. The numbers are fixed; a number
// outside them shows an empty line, so the type is a plain enumeration over
// int that any int converts to.
enum StatusCode : int {
    kStatusCheckingPort = 0,   // "Checking Comm Port for Vantrel...[Port:%d]"
    kStatusPortOpened = 1,     // "Open Comm Port...[Port:%d] ===> OK!!"
    kStatusPortFailed = 2,     // "Open Comm Port...[Port:%d] ===> Fail!!"
    kStatusNotConnected = 3,   // "Not connected!!"
    kStatusNoModules = 4,      // "No selected modules!!"
    kStatusWaitBoot = 5,       // "Wait for STB BOOT..."
    kStatusPreparing = 6,      // "Preparing modules..."
    kStatusUpdating = 7,       // "Updating modules..." (+ module, block counts)
    kStatusCleared = 8,        // empty status line (Cancel)
    kStatusWriting = 9,        // "Writing modules...[Module : %s]"
    kStatusComplete = 10,      // "Complete updating successfully..."
    kStatusUpdateFailed = 11,  // "Error...Update failed!"
};

}  // namespace vantrel
