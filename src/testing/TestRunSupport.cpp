#include "testing/TestRunSupport.h"

#include "device/RovaDevice.h"
#include "platform/Prompter.h"
#include "platform/SettingsStore.h"
#include "records/TestRecord.h"
#include "settings/AppInfo.h"
#include "testing/ReentrantLock.h"
#include "testing/TestingContext.h"

namespace tkan {

HeaderTexts LoadHeaderTexts(SettingsStore& store)
{
    HeaderTexts texts;
    for (std::size_t i = 0; i < kHeaderFieldCount; ++i)
        texts[i] = store.ReadText(kSettingsSection, std::string(kHeaderFields[i].settingsKey), "");
    return texts;
}

void StoreHeaderTexts(SettingsStore& store, const HeaderTexts& texts)
{
    for (std::size_t i = 0; i < kHeaderFieldCount; ++i)
        store.WriteText(kSettingsSection, std::string(kHeaderFields[i].settingsKey), texts[i]);
}

bool KeepUnsavedTest(Prompter& prompter)
{
    return prompter.Ask(MessageStyle::Tkan, "Exit test without saving ?", QuestionButtons::YesNo) == Answer::No;
}

bool InsideExchange(const ReentrantLock& lock, const RovaDevice& device)
{
    return lock.Depth() > 0 || device.IsBusy();
}

void ExportWrittenTest(TestingContext& context, const std::string& path)
{
    if (!context.autoExport)
        return;
    TestRecord written;
    written.prompter = &context.prompter;
    if (written.LoadTestFile(path))
        context.autoExport(written);
}

}  // namespace tkan
