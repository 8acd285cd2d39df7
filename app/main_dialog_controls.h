#pragma once

#include "app/batch_plan.h"

#include <QHash>
#include <QStringList>

class CFrameEditor;
class CPreviewPane;
class CStatusLine;
class QCheckBox;
class QComboBox;
class QDialog;
class QGroupBox;
class QLabel;
class QLayout;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpacerItem;
class QVBoxLayout;
class QWidget;

// The main dialog's controls, kept as a generated form keeps them: setupUi
// builds every widget and layout, one group at a time, and retranslateUi
// gives them all their texts. The dialog owns the widgets (they are its
// children); this only points at them.
struct MainDialogControls {
    void setupUi(QDialog* dialog);
    // Every text of the controls, for the current picture mode and destination.
    void retranslateUi();

    // The input and output controls for one picture (false) or a list.
    void setPictureMode(bool batch);
    // The list's rows, keeping the current row where it can; whatever a
    // conversion made of the earlier rows is no longer shown.
    void showPictures(const QStringList& pictures);
    // What a conversion of the list made of each picture, by its path: an
    // icon on its row, and the outcome in its tooltip and for screen readers.
    void showOutcomes(const QHash<QString, PictureOutcome>& outcomes);
    // The description and size hint of a destination list position; any
    // other position leaves them as they are.
    void showDestination(int destination);

    // A path combo box's list, newest first; the typed text stays.
    static void showRecent(QComboBox* combo, const QStringList& newestFirst);
    // Mirrors the addition of `path` to a recent list: first in the list,
    // which holds 16 at most; the typed text stays.
    static void addRecent(QComboBox* combo, const QString& path);

    QDialog* dialog = nullptr;
    QGroupBox* inputGroup = nullptr;
    QLabel* inputLabel = nullptr;
    QComboBox* inputCombo = nullptr;
    QListWidget* pictureList = nullptr;
    QPushButton* pickButton = nullptr;
    QPushButton* removeButton = nullptr;
    QPushButton* clearButton = nullptr;
    QLabel* pictureCountLabel = nullptr;
    QLabel* bestResultsLabel = nullptr;

    QGroupBox* propertiesGroup = nullptr;
    QLabel* imageNameLabel = nullptr;
    QLineEdit* imageNameEdit = nullptr;
    QLabel* colorDepthLabel = nullptr;
    QComboBox* colorDepthCombo = nullptr;
    QLabel* destinationLabel = nullptr;
    QComboBox* destinationCombo = nullptr;
    QLabel* destinationDescription = nullptr;

    QGroupBox* reductionGroup = nullptr;
    QRadioButton* rawRadio = nullptr;
    QLabel* rawNote = nullptr;
    QRadioButton* ditherRadio = nullptr;
    QLabel* ditherNote = nullptr;
    QCheckBox* fineQualityCheck = nullptr;

    QGroupBox* outputGroup = nullptr;
    QCheckBox* writeToFileCheck = nullptr;
    QLabel* outputLabel = nullptr;
    QComboBox* outputCombo = nullptr;
    QPushButton* setButton = nullptr;
    QCheckBox* directInstallCheck = nullptr;

    QPushButton* startButton = nullptr;
    QPushButton* optionsButton = nullptr;
    CStatusLine* statusLine = nullptr;

    QGroupBox* previewGroup = nullptr;
    CPreviewPane* preview = nullptr;
    CFrameEditor* frameEditor = nullptr;

    // The window's own layout: the form and the preview side by side, and
    // below them room for lines that span the window.
    QVBoxLayout* windowLayout = nullptr;

private:
    void buildInputGroup();
    void buildPropertiesGroup();
    void buildReductionGroup();
    void buildOutputGroup();
    void buildCommands();
    void buildPreviewGroup();
    void arrangeGroups();
    void setFocusOrder();
    void retranslateTips();
    void showPictureCount();

    QVBoxLayout* m_form = nullptr;
    QSpacerItem* m_formSpare = nullptr;
    bool m_batch = false;
    int m_destination = -1;
};
