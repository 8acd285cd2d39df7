#pragma once

#include "engine/front_end.h"

#include <QString>

#include <memory>

class QDialog;
class QLabel;

// The progress window of one conversion run: a modeless window without a
// parent, captioned "Processing Conversion..." until the run names its output
// file, with one log text that grows by a line per step. The window exists
// only between open() and close().
class CProgressDialog : public ProgressLog {
public:
    CProgressDialog();
    ~CProgressDialog() override;

    void open(const std::string& caption) override;
    void appendLine(const std::string& text) override;
    void close() override;

    bool isOpen() const { return m_window != nullptr; }
    QString caption() const;
    const QString& log() const { return m_log; }
    QDialog* window() const { return m_window.get(); }

private:
    std::unique_ptr<QDialog> m_window;
    QLabel* m_logLabel = nullptr;
    QString m_log;
};
