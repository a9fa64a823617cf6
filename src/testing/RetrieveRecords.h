#pragma once

#include <optional>
#include <string>

namespace tkan {

class ModalDialogs;
struct TestingContext;

// Lists the instrument's records, lets the operator download some of them,
// and returns the first file written (with its folder) for the caller to
// open as the document. Nothing when the listing failed or nothing was saved.
std::optional<std::string> RetrieveRecords(TestingContext& context, ModalDialogs& dialogs);

}  // namespace tkan
