#pragma once

#include "tests/support/simclock.h"
#include "tests/support/simline.h"
#include "tests/support/simlister.h"
#include "tests/support/simserialplatform.h"
#include "tests/support/testhost.h"
#include "worker/serthread.h"

#include <filesystem>
#include <memory>
#include <string>

// The real worker with its real stages on a test host whose port is the tool's end of a
// simulated line: a read-out in simulated time, driven from the test's thread. While that thread
// waits in Serve, the worker's synchronized calls run on the worker's thread (see
// TTestHost::ServeOnWorkerThreadWhileIdle), so a read-out costs no thread switch per call; the
// time limits of Serve are there to report a hang, never reached by a working worker.
class TSimWorker
{
public:
    explicit TSimWorker(const std::filesystem::path& iniPath,
                        TSimOptions options = TSimLine::Paced(), TFaultKind kind = TFaultKind::None,
                        TFaultPosition position = TFaultPosition::Probe)
        : Line(Clock, std::move(options), kind, position),
          Host(iniPath.string(), MakePlatform(), Clock),
          Worker(Host, MakeSerialStages(std::make_unique<TSimLister>(Line)))
    {
        Host.Attach(Worker);
        Host.ServeOnWorkerThreadWhileIdle();
    }
    ~TSimWorker() { Close(); }
    TSimWorker(const TSimWorker&) = delete;
    TSimWorker& operator=(const TSimWorker&) = delete;

    // Serves until the worker is parked on a page that is not 5 or 6.
    bool Settle()
    {
        return Host.Serve(
            [this] { return Worker.Suspended() && Host.Page() != 5 && Host.Page() != 6; },
            std::chrono::seconds(30));
    }
    // Start, then Next to page 4 with the file name and the shutdown option given.
    bool ToPage4(const std::string& dumpFile, bool shutdown)
    {
        Host.Start();
        bool ok = Host.ServeUntilParked();
        Host.Next();
        ok = ok && Host.ServeUntilParked();
        Host.SetFileName(dumpFile);
        Host.Next();
        ok = ok && Host.ServeUntilParked();
        Host.Shutdown = shutdown;
        Host.Next();
        return ok && Host.ServeUntilParked() && Host.Page() == 4;
    }
    void Close()
    {
        if (!Closed) {
            Closed = true;
            Host.Close();
        }
    }
    int Hangs() const { return Platform->Hangs(); }

private:
    TSimSerialPlatform* Platform = nullptr; // first: set while Host is made

public:
    TSimClock Clock;
    TSimLine Line;
    TTestHost Host;
    TSerThread Worker;

private:
    std::unique_ptr<TSerialPlatform> MakePlatform()
    {
        auto platform = std::make_unique<TSimSerialPlatform>(Line, Clock);
        Platform = platform.get();
        return platform;
    }

    bool Closed = false;
};
