#include "app/UlkDoc.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "app/RecentFileList.h"
#include "platform/Codepage.h"
#include "platform/Paths.h"
#include "platform/Prompter.h"
#include "settings/AppInfo.h"

namespace tkan {

namespace {

// "It can be opened for reading": a file we may not read is treated as one
// that is not there, as the instrument software always did.
bool FileCanBeRead(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return file.is_open();
}

// Paths are the file system's UTF-8; messages are Windows-1252 texts.
std::string PathForMessage(const std::string& path)
{
    return Utf8ToCp1252(path);
}

}  // namespace

bool IsRunTestPath(const std::string& path)
{
    return path.find(kRunTestName) != std::string::npos;
}

CUlkDoc::CUlkDoc(const CAppInfo& settings, Prompter& prompter, RecentFileList& recent, SettingsStore& store)
    : settings_(settings), prompter_(prompter), recent_(recent), store_(store), main_(std::make_unique<TestRecord>()),
      incoming_(std::make_unique<TestRecord>())
{
    for (auto& overlay : overlays_)
        overlay = std::make_unique<TestRecord>();
    for (TestRecord* record : {main_.get(), incoming_.get(), overlays_[0].get(), overlays_[1].get()})
        record->prompter = &prompter_;
}

void CUlkDoc::SetMenu(int menuId)
{
    menuId_ = menuId;
    if (host_)
        host_->ShowMenu(menuId);
}

void CUlkDoc::RememberRecent(const std::string& path)
{
    recent_.Add(path);
    // Kept at once rather than at exit, so a crash does not lose the list.
    recent_.Save(store_);
}

int CUlkDoc::OnNewDocument()
{
    if (testLoaded) {
        if (IsRunTestPath(pathName_))
            OnSaveDocument(pathName_);
        SetMenu(kMenuNoTest);
    }
    pathName_.clear();
    testLoaded = 0;
    return 1;
}

int CUlkDoc::OnOpenDocument(const std::string& path)
{
    if (!incoming_->LoadTestFile(path))
        return 0;
    std::swap(main_, incoming_);
    saved_ = EditableContent::Of(*main_);
    showGraph = 0;
    showTransitions = 0;
    testLoaded = 1;
    overlayCount = 0;
    SetMenu(kMenuTestLoaded);
    return 1;
}

int CUlkDoc::OpenDocumentFile(const std::string& path)
{
    if (!SaveModified())
        return 0;
    if (!OnOpenDocument(path)) {
        prompter_.Message(MessageStyle::Tkan, std::string(kOpenFailedText) + "\n" + PathForMessage(path));
        return 0;
    }
    pathName_ = path;
    RememberRecent(path);
    if (host_) {
        host_->InitialUpdate();
        host_->UpdateAllViews();
    }
    return 1;
}

bool CUlkDoc::ChooseName(std::string& path)
{
    SaveFileRequest request;
    request.defaultExtension = kTestFileExtension;
    request.filter = kTestFileFilter;
    request.initialFolder = settings_.FilePath;
    std::optional<std::string> chosen = prompter_.ChooseSaveFile(request);
    if (!chosen || chosen->empty())
        return false;
    path = *chosen;
    return true;
}

int CUlkDoc::OnSaveDocument(const std::string& path)
{
    // A document without a path has nowhere to go but a name of its own.
    bool mustChoose = IsRunTestPath(path) || path.empty();
    if (host_)
        host_->CommitEdits();

    std::string target = path;
    for (;;) {
        if (mustChoose && !ChooseName(target))
            return 0;
        if (!FileCanBeRead(target))
            break;
        Answer answer = prompter_.Ask(MessageStyle::Tkan, kOverwriteQuestion, QuestionButtons::YesNoCancel);
        if (answer == Answer::Cancel)
            return 0;
        if (answer != Answer::No)
            break;
        mustChoose = true;
    }

    TestRecord& record = *main_;
    record.exportOnSave = true;
    record.autoExport = settings_.AutoExport != 0;
    record.autoExportDir = settings_.AutoExportDir;
    record.autoExportAfterSave = autoExport;
    if (!record.SaveTestFile(target)) {
        prompter_.Message(MessageStyle::Tkan, std::string(kSaveFailedText) + "\n" + PathForMessage(target));
        return 0;
    }
    pathName_ = target;
    saved_ = EditableContent::Of(record);
    RememberRecent(target);
    if (host_)
        host_->UpdateAllViews();
    return 1;
}

bool CUlkDoc::IsModified()
{
    if (!testLoaded)
        return false;
    if (host_)
        host_->CommitEdits();
    return !(EditableContent::Of(*main_) == saved_);
}

int CUlkDoc::SaveModified()
{
    if (!IsModified())
        return 1;
    std::string name = PathForMessage(FileNamePart(pathName_));
    char question[512];
    std::snprintf(question, sizeof question, kSaveChangesQuestion, name.c_str());
    switch (prompter_.Ask(MessageStyle::Tkan, question, QuestionButtons::YesNoCancel)) {
    case Answer::Cancel: return 0;
    case Answer::No:
        // Asked once: a load that then fails leaves the test on screen, and
        // the operator has already let its changes go.
        saved_ = EditableContent::Of(*main_);
        return 1;
    default: return SaveTest();
    }
}

void CUlkDoc::OnCloseDocument()
{
    if (IsRunTestPath(pathName_))
        OnSaveDocument(pathName_);
}

int CUlkDoc::SaveAs()
{
    std::string target;
    if (!ChooseName(target))
        return 0;
    return OnSaveDocument(target);
}

int CUlkDoc::OverlayTests(const std::function<std::optional<std::vector<std::string>>()>& choose)
{
    overlayCount = 0;
    std::optional<std::vector<std::string>> files = choose ? choose() : std::nullopt;
    if (files && files->size() > overlays_.size()) {
        char text[96];
        std::snprintf(text, sizeof text, kOverlayLimitText, static_cast<int>(overlays_.size()));
        prompter_.Message(MessageStyle::Tkan, text);
    } else if (files) {
        for (const std::string& file : *files)
            if (overlays_[static_cast<std::size_t>(overlayCount)]->LoadTestFile(file))
                ++overlayCount;
    }
    // The time axis covers the longest of the records again.
    if (host_) {
        host_->InitialUpdate();
        host_->UpdateAllViews();
    }
    return overlayCount;
}

void CUlkDoc::ToggleGraph()
{
    if (!testLoaded)
        return;
    int& shown = main_->IsDynamic() ? showTransitions : showGraph;
    shown = 1 - shown;
    if (host_)
        host_->UpdateAllViews();
}

std::array<const TestRecord*, 2> CUlkDoc::ShownOverlays() const
{
    std::array<const TestRecord*, 2> shown{};
    int count = std::clamp(overlayCount, 0, 2);
    for (int i = 0; i < count; ++i)
        shown[static_cast<std::size_t>(i)] = overlays_[static_cast<std::size_t>(i)].get();
    return shown;
}

int CUlkDoc::LargestSampleCount() const
{
    int largest = main_->trace.sampleCount;
    for (const TestRecord* overlay : ShownOverlays())
        if (overlay)
            largest = std::max(largest, overlay->trace.sampleCount);
    return largest;
}

bool CUlkDoc::GraphShown() const
{
    return testLoaded && (main_->IsDynamic() ? showTransitions == 0 : showGraph != 0);
}

CommandContext CUlkDoc::Context(bool tkanConnected) const
{
    CommandContext context;
    context.testLoaded = testLoaded != 0;
    context.mainIsStatic = testLoaded && !main_->IsDynamic();
    context.showGraph = GraphShown() ? 1 : 0;
    context.recentFilesPresent = !recent_.Files().empty();
    context.tkanConnected = tkanConnected;
    return context;
}

}  // namespace tkan
