#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Commands.h"
#include "app/DocumentChanges.h"
#include "display/ViewDocument.h"
#include "records/TestRecord.h"

namespace tkan {

class CAppInfo;
class Prompter;
class RecentFileList;
class SettingsStore;

inline constexpr char kOverwriteQuestion[] = "Do you want to overwrite file";
// A static test run leaves its result under this name; such a document must
// get a name of its own before it is closed.
inline constexpr char kRunTestName[] = "RunTest.test";
inline constexpr char kTestFileExtension[] = ".test";
inline constexpr char kTestFileFilter[] = "Test (*.test) |*.test||";
inline constexpr char kOpenFailedText[] = "Failed to open document.";
inline constexpr char kSaveFailedText[] = "Failed to save document.";
inline constexpr char kSaveChangesQuestion[] = "Save changes to %s?";
inline constexpr char kOverlayLimitText[] = "A maximum of %d tests can be overlayed";

// What the document asks of its window and view. Every call is optional for
// a document without a window.
class DocumentHost {
public:
    virtual ~DocumentHost() = default;

    // The view copies the operator's edits into the main record.
    virtual void CommitEdits() {}
    virtual void ShowMenu(int /*menuId*/) {}
    virtual void UpdateAllViews() {}
    // A test has just been opened: the view sets itself up for it.
    virtual void InitialUpdate() {}
};

// The one document: the test on screen and up to two overlays.
class CUlkDoc : public ViewDocument {
public:
    CUlkDoc(const CAppInfo& settings, Prompter& prompter, RecentFileList& recent, SettingsStore& store);
    CUlkDoc(const CUlkDoc&) = delete;
    CUlkDoc& operator=(const CUlkDoc&) = delete;

    void SetHost(DocumentHost* host) { host_ = host; }

    // "Close Test": an empty document, after a RunTest.test document was
    // given a name.
    int OnNewDocument();
    // Loads the file as the main record. A file that does not load leaves
    // the document as it was, so the test on screen is not lost to a bad
    // file; 0 then.
    int OnOpenDocument(const std::string& path);
    // OnOpenDocument, then what the framework does around it: the path, the
    // recent-file list and the view's initial update. Tells the operator
    // when the file did not load.
    int OpenDocumentFile(const std::string& path);
    // Asks before overwriting and for a name where one is needed. A failed
    // write is reported and leaves the document's path as it was.
    int OnSaveDocument(const std::string& path);
    void OnCloseDocument();

    // Whether the operator changed the test since it was loaded or saved:
    // header fields, notes, data points. The view's edits count once they
    // are committed, which this does first.
    bool IsModified();
    // Before the test is closed or replaced: asks whether to save a changed
    // test. 0 when the operator cancels (or the save fails) and the test
    // must stay; "No" lets the changes go.
    int SaveModified();

    // "Save Test", "Overwrite" and Ctrl+S.
    int SaveTest() { return OnSaveDocument(pathName_); }
    int SaveAs();

    // "Overlay Test": the overlays go first, then `choose` asks for the
    // files (nothing: cancelled). One or two files load into the slots from
    // the first, so a file that fails leaves no gap; more are refused.
    // Returns the overlays now shown.
    int OverlayTests(const std::function<std::optional<std::vector<std::string>>()>& choose);

    // "Graph/Results": readings or transitions, and back.
    void ToggleGraph() override;

    TestRecord& Main() override { return *main_; }
    const TestRecord& Main() const override { return *main_; }
    bool TestLoaded() const override { return testLoaded != 0; }
    TestRecord& Overlay(int index) { return *overlays_.at(static_cast<std::size_t>(index)); }
    // The overlays in use, then nulls.
    std::array<const TestRecord*, 2> ShownOverlays() const override;

    const std::string& PathName() const { return pathName_; }
    int MenuId() const { return menuId_; }

    // The view's two questions.
    int LargestSampleCount() const;
    bool GraphShown() const override;

    CommandContext Context(bool tkanConnected) const;

    // Runs after every successful save of the main record; empty until the
    // export subsystem provides one.
    AutoExportHook autoExport;

    int testLoaded = 0;
    int overlayCount = 0;
    int showGraph = 0;
    // A dynamic test shows its transitions table instead of its graph.
    int showTransitions = 0;

private:
    void SetMenu(int menuId);
    bool ChooseName(std::string& path);
    void RememberRecent(const std::string& path);

    const CAppInfo& settings_;
    Prompter& prompter_;
    RecentFileList& recent_;
    SettingsStore& store_;
    DocumentHost* host_ = nullptr;

    std::unique_ptr<TestRecord> main_;
    // A load goes here first and changes places with the main record only
    // when it succeeded.
    std::unique_ptr<TestRecord> incoming_;
    std::array<std::unique_ptr<TestRecord>, 2> overlays_;
    std::string pathName_;
    int menuId_ = kMenuNoTest;
    // The main record's editable content as last loaded or saved.
    EditableContent saved_;
};

// Whether a path names a RunTest.test document.
bool IsRunTestPath(const std::string& path);

}  // namespace tkan
