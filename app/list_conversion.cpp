#include "app/list_conversion.h"

#include "app/batch_conversion.h"
#include "app/batch_progress_dialog.h"
#include "app/file_manager.h"
#include "app/file_names.h"
#include "app/install_handover.h"
#include "app/prompter.h"
#include "app/string_table.h"
#include "app/ui_text.h"

#include <QFile>

namespace {

// Settles the databases that exist: overwritten, or their pictures skipped.
// False when the user cancelled.
bool settleExisting(BatchPlan& plan, const QStringList& pictures, CPrompter& prompter, QWidget* owner,
                    BatchReport& report) {
    if (plan.existing.empty()) return true;
    const QString names = plan.existingDatabaseNames().join(QLatin1Char('\n'));
    const PromptAnswer answer = prompter.prompt(
        makePrompt(owner, tableString(IDS_OVERWRITE_CAPTION), tableString(IDS_OVERWRITE_SOME_QUESTION, names),
                   MessageIcon::Question, PromptButtons::OverwriteSkipCancel, PromptAnswer::No));
    if (answer == PromptAnswer::Cancel) return false;
    if (answer == PromptAnswer::Yes)
        plan.overwriteExisting(pictures);
    else
        report.addSkipped(plan.existing);
    return true;
}

}  // namespace

std::optional<BatchReport> convertList(const ListConversion& conversion, CPrompter& prompter, QWidget* owner,
                                       QStringList& temporaryDatabases) {
    BatchPlan plan = planBatch(conversion.pictures, conversion.folder, conversion.intoTemporaryFolder);
    if (conversion.intoTemporaryFolder) {
        // As for one picture: whatever is at the name goes first.
        for (const Conversion& planned : plan.conversions) {
            const QString output = pathFromBytes(QByteArray::fromStdString(planned.output));
            removeStaleDatabase(output);
            temporaryDatabases.append(output);
        }
    }
    BatchReport report;
    report.pictures = static_cast<int>(conversion.pictures.size());
    report.addRefusals(plan);
    if (!settleExisting(plan, conversion.pictures, prompter, owner, report)) return std::nullopt;

    CBatchConversion batch(plan.conversions, conversion.settings);
    batch.setReplaceExisting(plan.replaceExisting);
    CBatchProgressDialog::runShowingProgress(batch, conversion.jobs, owner, conversion.feedback);
    for (std::size_t i = 0; i < plan.conversions.size(); ++i)
        report.addOutcome(plan.conversions[i], batch.outcome(i), batch.reason(i), batch.warning(i));
    CFileManager* const fileManager = conversion.feedback.fileManager;
    const bool showable =
        fileManager != nullptr && !conversion.intoTemporaryFolder && !report.converted.isEmpty();
    const PromptAnswer answer =
        prompter.prompt(makePrompt(owner, uiText("Conversion finished"), report.summary(),
                                   report.needsAttention() ? MessageIcon::Warning : MessageIcon::Information,
                                   showable ? PromptButtons::OkShowInFolder : PromptButtons::Ok));
    if (showable && answer == PromptAnswer::Yes) fileManager->showInFolder(report.converted);
    return report;
}
