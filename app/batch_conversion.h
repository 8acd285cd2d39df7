#pragma once

#include "engine/batch_runner.h"
#include "engine/conversion_settings.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

// Many pictures converted from the window: the engine's batch runner on a
// thread of its own, several pictures at a time as kestrin-convert -j does,
// while the window's event loop keeps running. What it reports arrives as
// signals on the window's thread.
class CBatchConversion : public QObject {
    Q_OBJECT
public:
    enum class Outcome { NotStarted, Converted, Failed };

    CBatchConversion(std::vector<Conversion> plan, const ConversionSettings& settings);
    // Stops after the pictures in progress and waits for them.
    ~CBatchConversion() override;

    // Whether a database may replace a file at its name (the user agreed);
    // when not, a file there by the end is kept and the picture fails.
    void setReplaceExisting(bool replace) { m_replaceExisting = replace; }
    // `jobs` as -j takes it: 0 for one picture per core.
    void start(int jobs = 0);
    // No further picture starts; the ones being written are finished, and
    // nothing of an unfinished one is left behind.
    void cancel() { m_stop = true; }
    bool isCancelled() const { return m_stop; }
    bool isFinished() const { return m_finished; }

    const std::vector<Conversion>& plan() const { return m_plan; }
    // Valid once finished() was sent.
    Outcome outcome(std::size_t index) const { return m_outcomes[index]; }
    // Why a failed picture failed: the engine's message, as a single
    // conversion shows it.
    const std::string& reason(std::size_t index) const { return m_reasons[index]; }
    // What is wrong with a picture that converted all the same; empty when
    // nothing is.
    const std::string& warning(std::size_t index) const { return m_warnings[index]; }

signals:
    void pictureStarted(int index);
    void pictureDone(int index);
    void finished();

private:
    void run(int jobs);

    const std::vector<Conversion> m_plan;
    const ConversionSettings m_settings;
    std::vector<Outcome> m_outcomes;
    std::vector<std::string> m_reasons;
    bool m_replaceExisting = true;
    std::vector<std::string> m_warnings;
    std::atomic<bool> m_stop{false};
    bool m_finished = false;
    std::thread m_thread;
};
