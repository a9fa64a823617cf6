#pragma once

#include <optional>
#include <string>

#include "platform/Prompter.h"

class QWidget;

namespace tkan {

// Message boxes and file choosers on Qt. Boxes sit over the active window,
// or over the main window while none is active.
class QtPrompter : public Prompter {
public:
    void SetMainWindow(QWidget* window) { mainWindow_ = window; }

    void Message(MessageStyle style, const std::string& text) override;
    Answer Ask(MessageStyle style, const std::string& text, QuestionButtons buttons) override;
    std::optional<std::string> ChooseSaveFile(const SaveFileRequest& request) override;
    std::optional<std::string> ChooseFolder(const std::string& title, const std::string& startFolder) override;

private:
    QWidget* Parent() const;

    QWidget* mainWindow_ = nullptr;
};

}  // namespace tkan
