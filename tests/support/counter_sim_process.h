// counter-sim on a fresh pseudo-terminal for one test, stopped when the test ends. Needs a Qt event
// loop and COUNTER_SIM_PATH.
#pragma once

#include <QProcess>
#include <QStringList>
#include <QTest>

#include <unistd.h>

#include <filesystem>
#include <string>

namespace pcs::test {

class Counter_Sim {
public:
    explicit Counter_Sim(QStringList args) {
        // The station opens the simulator through a link of its own: a pseudo-terminal's number is
        // reused as soon as it is freed, possibly by a test running beside this one.
        static int n = 0;
        link_ = (std::filesystem::temp_directory_path() /
                 ("pcs_counter_" + std::to_string(::getpid()) + "_" + std::to_string(++n)))
                    .string();
        proc_.setProgram(COUNTER_SIM_PATH);
        proc_.setArguments(args << "--verbose"
                                << "--link" << QString::fromStdString(link_));
        proc_.start();
        if (!proc_.waitForStarted(15000)) return;
        if (!QTest::qWaitFor([&] { return proc_.canReadLine(); }, 15000)) return;
        if (!proc_.readLine().trimmed().isEmpty()) Path = link_;
    }
    ~Counter_Sim() {
        if (proc_.state() != QProcess::NotRunning) {
            proc_.terminate();
            if (!proc_.waitForFinished(3000)) proc_.kill();
            proc_.waitForFinished(1000);
        }
    }
    Counter_Sim(const Counter_Sim&) = delete;
    Counter_Sim& operator=(const Counter_Sim&) = delete;

    // The counter goes away (its link with it).
    void Stop() {
        proc_.terminate();
        proc_.waitForFinished(15000);
    }
    bool Finished(int ms) { return proc_.state() == QProcess::NotRunning || proc_.waitForFinished(ms); }
    // With --timestamps: the monotonic time in ns at which the next report's last byte was sent, or -1.
    long long Next_Sent_Ns(int ms) {
        for (;;) {
            if (!proc_.canReadLine() && !proc_.waitForReadyRead(ms)) return -1;
            while (proc_.canReadLine()) {
                const QByteArray line = proc_.readLine().trimmed();
                if (line.startsWith("sent ")) return line.mid(5).toLongLong();
            }
        }
    }
    // What the simulator logged of the commands it received. The event loop runs a moment first: a
    // caller that waited on the station without it has left the simulator's output in the pipe.
    std::string Log() {
        QTest::qWait(50);
        log_ += proc_.readAllStandardError().toStdString();
        return log_;
    }
    std::string Path; // the link to the pseudo-terminal; empty when the simulator did not come up

private:
    std::string link_;
    QProcess proc_;
    std::string log_;
};

} // namespace pcs::test
