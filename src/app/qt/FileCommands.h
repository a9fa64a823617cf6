#pragma once

namespace tkan {

class CMainFrame;
class CUlkDoc;
struct AppServices;

// Plugs the file-side dialogs into the main window: "Recall Test" (Ctrl+O)
// opens the test chosen in Open Test as the document, "Overlay Test" lays up
// to two more tests over it, and "Application Setup..." edits the settings.
// `simulated`: the run talks to the built-in simulated instrument, whose
// link must not reach the stored settings.
//
// The handlers keep references to every argument; they must outlive the
// frame's use of them.
void InstallFileCommands(CMainFrame& frame, CUlkDoc& doc, AppServices& services, bool simulated);

// What follows accepted settings on screen: the views repaint in the new
// colours and take up the new logo.
void AfterSettingsApplied(CMainFrame& frame);

}  // namespace tkan
