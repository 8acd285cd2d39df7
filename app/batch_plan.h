#pragma once

#include "app/batch_conversion.h"
#include "engine/batch_runner.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

// A picture of the list that is not converted whatever the answer, and why.
struct Refusal {
    QString picture;
    QString why;
};

// What converting the window's list of pictures into one folder will do,
// worked out before anything is written.
struct BatchPlan {
    // The pictures to convert as things stand, in the list's order.
    std::vector<Conversion> conversions;
    // Pictures whose databases exist in the folder already: converted only
    // when the user agrees to overwrite them.
    std::vector<Conversion> existing;
    // "picture: why" for the pictures that are not converted whatever the
    // answer, such as a second picture that would make the same database.
    QStringList failures;
    // The same pictures, by their paths in the list.
    std::vector<Refusal> refusals;
    // Whether a database may replace a file at its name: only once the user
    // agreed to overwrite the existing ones.
    bool replaceExisting = false;

    // The file names of the existing databases, for the question about them.
    QStringList existingDatabaseNames() const;
    // The file names of the pictures whose databases exist.
    QStringList existingPictureNames() const;
    // Converts the existing ones too, keeping the order of `pictures`.
    void overwriteExisting(const QStringList& pictures);
};

// Plans `pictures` into `folder`. With `replaceExisting` (the temporary
// folder, whose old databases go without a question) nothing counts as
// existing.
BatchPlan planBatch(const QStringList& pictures, const QString& folder, bool replaceExisting);

// What a conversion of the list made of one picture.
struct PictureOutcome {
    enum class Kind { Converted, Incomplete, Skipped, Failed, NotConverted };
    Kind kind = Kind::NotConverted;
    // Why it failed, or what an incomplete one lacks.
    QString reason;
};

// What a conversion of the list came to, and the summary shown at its end.
struct BatchReport {
    // How many pictures the list held.
    int pictures = 0;
    // The databases written.
    QStringList converted;
    // The pictures whose existing databases were kept.
    QStringList skipped;
    // "picture: why" for each picture that failed or was refused.
    QStringList failures;
    // "picture: what is missing" for each picture that converted all the
    // same, such as one whose data ends early.
    QStringList incomplete;
    // Pictures that a cancel left unconverted.
    int notStarted = 0;
    // Each picture's outcome, by its path in the list.
    QHash<QString, PictureOutcome> outcomes;

    void addOutcome(const Conversion& conversion, CBatchConversion::Outcome outcome,
                    const std::string& reason, const std::string& warning = {});
    // The pictures the plan refused, as failures.
    void addRefusals(const BatchPlan& plan);
    // The pictures whose existing databases are kept.
    void addSkipped(const std::vector<Conversion>& existing);
    QString summary() const;
    bool hasFailures() const { return !failures.isEmpty(); }
    // Whether the summary is a warning: something failed or came out incomplete.
    bool needsAttention() const { return hasFailures() || !incomplete.isEmpty(); }
};
