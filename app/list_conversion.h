#pragma once

#include "app/batch_plan.h"
#include "app/desktop_feedback.h"
#include "engine/conversion_settings.h"

#include <QString>
#include <QStringList>

#include <optional>

class CPrompter;
class QWidget;

// The window's list of pictures converted into one folder.
struct ListConversion {
    QStringList pictures;
    QString folder;
    // The temporary folder of Directly send, whose old databases go without
    // a question.
    bool intoTemporaryFolder = false;
    ConversionSettings settings;
    // As kestrin-convert -j takes them: 0 for one picture per core.
    int jobs = 0;
    // The end of a long batch announced; the summary offers to show the
    // databases written into the folder.
    DesktopFeedback feedback;
};

// Asks about the databases that exist already, converts the pictures with a
// progress window of `owner` and shows the summary. Nothing when the user
// cancelled at the question. The databases written into the temporary folder
// are added to `temporaryDatabases`, for removal when the window closes.
std::optional<BatchReport> convertList(const ListConversion& conversion, CPrompter& prompter, QWidget* owner,
                                       QStringList& temporaryDatabases);
