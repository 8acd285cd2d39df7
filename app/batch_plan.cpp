#include "app/batch_plan.h"

#include "app/engine_messages.h"
#include "app/file_names.h"
#include "app/picture_paths.h"
#include "app/prompter.h"
#include "app/string_table.h"
#include "app/ui_text.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

QString decodedPath(const std::string& path) {
    return pathFromBytes(QByteArray::fromStdString(path));
}

QString fileName(const std::string& path) {
    return QFileInfo(decodedPath(path)).fileName();
}

QString failureLine(const std::string& picture, const QString& why) {
    return uiText("%1: %2").arg(fileName(picture), why);
}

}  // namespace

BatchPlan planBatch(const QStringList& pictures, const QString& folder, bool replaceExisting) {
    BatchPlan plan;
    QStringList outputs;
    for (const QString& picture : pictures) {
        Conversion conversion = conversionIntoFolder(enginePath(picture), enginePath(folder));
        const QString output = decodedPath(conversion.output);
        // "photo.jpg" and "photo.png" would both make photo.pdb: the first
        // picture keeps the name, the others are not converted.
        if (outputs.contains(output)) {
            const QString why = tableString(IDS_SAME_DATABASE_NAME, QFileInfo(output).fileName());
            plan.failures.append(failureLine(conversion.input, why));
            plan.refusals.push_back({picture, why});
            continue;
        }
        outputs.append(output);
        if (!replaceExisting && pathStatus(output).exists)
            plan.existing.push_back(std::move(conversion));
        else
            plan.conversions.push_back(std::move(conversion));
    }
    return plan;
}

QStringList BatchPlan::existingDatabaseNames() const {
    QStringList names;
    for (const Conversion& conversion : existing) names.append(fileName(conversion.output));
    return names;
}

QStringList BatchPlan::existingPictureNames() const {
    QStringList names;
    for (const Conversion& conversion : existing) names.append(fileName(conversion.input));
    return names;
}

void BatchPlan::overwriteExisting(const QStringList& pictures) {
    conversions.insert(conversions.end(), existing.begin(), existing.end());
    existing.clear();
    replaceExisting = true;
    // The list's order, so the summary reads as the list does.
    const auto position = [&](const Conversion& conversion) {
        return pictures.indexOf(decodedPath(conversion.input));
    };
    std::stable_sort(conversions.begin(), conversions.end(),
                     [&](const Conversion& a, const Conversion& b) { return position(a) < position(b); });
}

void BatchReport::addOutcome(const Conversion& conversion, CBatchConversion::Outcome outcome,
                             const std::string& reason, const std::string& warning) {
    PictureOutcome& shown = outcomes[decodedPath(conversion.input)];
    switch (outcome) {
        case CBatchConversion::Outcome::Converted:
            converted.append(decodedPath(conversion.output));
            shown = {PictureOutcome::Kind::Converted, {}};
            if (!warning.empty()) {
                shown = {PictureOutcome::Kind::Incomplete, engineMessageText(warning)};
                incomplete.append(failureLine(conversion.input, shown.reason));
            }
            break;
        case CBatchConversion::Outcome::Failed:
            shown = {PictureOutcome::Kind::Failed,
                     reason.empty() ? tableString(IDS_CONVERSION_FAILED) : engineMessageText(reason)};
            failures.append(failureLine(conversion.input, shown.reason));
            break;
        case CBatchConversion::Outcome::NotStarted:
            shown = {PictureOutcome::Kind::NotConverted, {}};
            ++notStarted;
            break;
    }
}

void BatchReport::addRefusals(const BatchPlan& plan) {
    failures.append(plan.failures);
    for (const Refusal& refusal : plan.refusals)
        outcomes[refusal.picture] = {PictureOutcome::Kind::Failed, refusal.why};
}

void BatchReport::addSkipped(const std::vector<Conversion>& existing) {
    for (const Conversion& conversion : existing) {
        skipped.append(fileName(conversion.input));
        outcomes[decodedPath(conversion.input)] = {PictureOutcome::Kind::Skipped, {}};
    }
}

QString BatchReport::summary() const {
    QStringList lines{
        uiText("Converted: %1 of %2 pictures.").arg(uiNumber(converted.size()), uiNumber(pictures))};
    if (!incomplete.isEmpty())
        lines.append(uiText("Converted, but incomplete: %1.").arg(uiNumber(incomplete.size())) +
                     QLatin1Char('\n') + incomplete.join(QLatin1Char('\n')));
    if (!skipped.isEmpty())
        lines.append(
            uiText("Skipped, their databases already exist: %1.").arg(skipped.join(QLatin1String(", "))));
    if (notStarted > 0)
        lines.append(uiText("Not converted, as the conversion was cancelled: %1.").arg(uiNumber(notStarted)));
    if (failures.isEmpty()) return lines.join(QLatin1Char('\n'));
    lines.append(uiText("Failed: %1.").arg(uiNumber(failures.size())));
    return lines.join(QLatin1Char('\n')) + QLatin1String("\n\n") + failures.join(QLatin1Char('\n'));
}
