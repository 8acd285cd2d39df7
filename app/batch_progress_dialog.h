#pragma once

#include "app/desktop_feedback.h"

#include <QDialog>
#include <QString>

class CBatchConversion;
class QLabel;
class QProgressBar;
class QPushButton;

// The progress window of many pictures at once: "k of n", the picture being
// converted and a Cancel that lets the pictures in progress finish. Every
// line is a label a screen reader can read, and the bar names its count.
class CBatchProgressDialog : public QDialog {
    Q_OBJECT
public:
    CBatchProgressDialog(int total, QWidget* parent);

    // Starts `batch` with `jobs` as -j takes them and shows its progress in
    // a window of `parent` until it has finished; Cancel stops it. A batch
    // that took long and ends while neither window is active is announced
    // through the feedback's notifier.
    static void runShowingProgress(CBatchConversion& batch, int jobs, QWidget* parent,
                                   const DesktopFeedback& feedback = {});

    void showCurrent(const QString& fileName);
    void showDone(int done);
    // After Cancel: the window says it waits for the pictures in progress.
    void showStopping();

signals:
    void cancelRequested();

protected:
    // Escape and the window's close button are Cancel; the window itself
    // closes when the conversion has finished.
    void reject() override;

private:
    int m_total;
    QLabel* m_countLabel = nullptr;
    QLabel* m_currentLabel = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_cancelButton = nullptr;
};
