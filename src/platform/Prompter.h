#pragma once

#include <optional>
#include <string>

namespace tkan {

// How a message box is captioned. The program shows three kinds of box: the
// application's own ("TKAN"), warnings ("Warning") and device-level messages
// captioned with the maker's name ("Brennix").
enum class MessageStyle { Tkan, Warning, Brennix };

enum class Answer { Ok, Yes, No, Cancel };

enum class QuestionButtons { YesNo, YesNoCancel, OkCancel };

// What a save-file chooser is opened with. The filter is in the program's
// own form, "Test (*.tst-tkan) |*.tst-tkan||".
struct SaveFileRequest {
    std::string defaultExtension;  // with its dot, ".tst-tkan"
    std::string filter;
    std::string initialFolder;  // empty: wherever the chooser likes
    std::string initialName;
};

// Everything the core says to the operator goes through this seam: a message
// box on the desktop, standard error in the command-line tools, a recording
// in the tests. It carries the platform call and no rule of its own.
class Prompter {
public:
    virtual ~Prompter() = default;

    virtual void Message(MessageStyle style, const std::string& text) = 0;
    virtual Answer Ask(MessageStyle style, const std::string& text, QuestionButtons buttons) = 0;

    // The chosen path, or nothing when the operator cancelled. A front that
    // cannot ask (a command-line tool) keeps the defaults, which cancel.
    virtual std::optional<std::string> ChooseSaveFile(const SaveFileRequest&) { return std::nullopt; }
    // A folder of the file system, starting at startFolder.
    virtual std::optional<std::string> ChooseFolder(const std::string& /*title*/, const std::string& /*startFolder*/)
    {
        return std::nullopt;
    }
};

// The caption each style carries on screen.
const char* MessageCaption(MessageStyle style);

}  // namespace tkan
