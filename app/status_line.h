#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;

// The line under the window's controls that says what the last conversion
// wrote, with "Show in folder" for it. Empty while there is nothing to say;
// it keeps its height then, so the window does not jump.
class CStatusLine : public QWidget {
    Q_OBJECT
public:
    explicit CStatusLine(QWidget* parent);

    // Names the database at `path` and its size as it is on disk now.
    void showWritten(const QString& path);
    void clear();
    QString text() const;

signals:
    void showInFolderRequested(const QString& path);

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();

    QLabel* m_label = nullptr;
    QPushButton* m_showButton = nullptr;
    QString m_path;
    qint64 m_size = 0;
};
