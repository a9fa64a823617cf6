#pragma once

#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Prompter.h"

namespace tkan::test {

// Records every text shown and answers questions from a script (Yes when the
// script has run out). File and folder choosers answer from scripts of their
// own and cancel when those have run out.
class RecordingPrompter : public Prompter {
public:
    struct Shown {
        MessageStyle style;
        std::string text;
    };

    void Message(MessageStyle style, const std::string& text) override { shown.push_back({style, text}); }

    Answer Ask(MessageStyle style, const std::string& text, QuestionButtons) override
    {
        shown.push_back({style, text});
        if (answers.empty())
            return Answer::Yes;
        Answer next = answers.front();
        answers.pop_front();
        return next;
    }

    std::optional<std::string> ChooseSaveFile(const SaveFileRequest& request) override
    {
        saveRequests.push_back(request);
        return Next(saveFiles);
    }

    std::optional<std::string> ChooseFolder(const std::string& title, const std::string& startFolder) override
    {
        folderRequests.push_back({title, startFolder});
        return Next(folders);
    }

    // The texts shown, in order, without their styles.
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (const Shown& s : shown)
            texts.push_back(s.text);
        return texts;
    }

    std::vector<Shown> shown;
    std::deque<Answer> answers;

    std::deque<std::optional<std::string>> saveFiles;
    std::vector<SaveFileRequest> saveRequests;
    std::deque<std::optional<std::string>> folders;
    std::vector<std::pair<std::string, std::string>> folderRequests;  // title, start folder

private:
    static std::optional<std::string> Next(std::deque<std::optional<std::string>>& script)
    {
        if (script.empty())
            return std::nullopt;
        std::optional<std::string> next = std::move(script.front());
        script.pop_front();
        return next;
    }
};

}  // namespace tkan::test
