#pragma once

namespace tkan {

class CMainFrame;
struct TestingContext;

// Plugs the test-run and retrieval dialogs into the main window: "Dynamic
// Resistance Test", the six static and regulator tests (the regulator ones
// ask for their number of steps first) and "Retrieve Test Record From
// Device..." run their dialogs over `testing`, and the file a dialog saved
// opens as the document.
//
// The handlers keep references to both arguments. `testing` must outlive
// every use the frame makes of them: keep it alive as long as the frame, or
// take the commands away (an empty handler) before it goes.
void InstallTestingCommands(CMainFrame& frame, TestingContext& testing);

}  // namespace tkan
