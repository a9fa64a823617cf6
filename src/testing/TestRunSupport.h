#pragma once

#include <array>
#include <string>

#include "records/HeaderFields.h"

namespace tkan {

class Prompter;
class ReentrantLock;
class RovaDevice;
class SettingsStore;
struct TestingContext;

// What the dynamic and the static test dialogs do alike around a run.

using HeaderTexts = std::array<std::string, kHeaderFieldCount>;

// The header last typed in either test dialog: both keep it under the same
// settings keys, so each shows what was typed in the other.
HeaderTexts LoadHeaderTexts(SettingsStore& store);
void StoreHeaderTexts(SettingsStore& store, const HeaderTexts& texts);

// Asks "Exit test without saving ?"; true when the operator keeps the dialog.
bool KeepUnsavedTest(Prompter& prompter);

// True while the dialog or the device waits on the wire: a whole exchange
// started now would interleave with it, so it waits for the poll loop.
bool InsideExchange(const ReentrantLock& lock, const RovaDevice& device);

// Loads the test file a dialog has just written and hands it to the
// automatic export; a file that does not load back exports nothing.
void ExportWrittenTest(TestingContext& context, const std::string& path);

}  // namespace tkan
