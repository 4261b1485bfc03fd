#include "app/cli/identifystages.h"

#include "worker/devicelister.h"
#include "worker/serthread.h"

namespace {

class TIdentifyStages final : public TStages
{
public:
    TIdentifyStages(std::unique_ptr<TDeviceLister> lister, std::shared_ptr<TIdentifyResult> result)
        : Lister(std::move(lister)), Result(std::move(result))
    {
    }

    void Connect(TSerThread& worker) override
    {
        if (worker.Terminated() || worker.BackRequested())
            return;
        worker.FindServer(*Lister);
        worker.BringUpLink();
        Result->Reached = true;
        Result->Accepted = worker.ResultCode() == srSuccess;
        Result->IdText = worker.ServerIdText();
        // The link check leaves an accepted server where every connect leaves it, waiting for a
        // request, so that the next connect (a read-out) finds it as usual.
        worker.CheckLink(worker.SerIF());
        worker.SetResultCode(srSuccess); // also after a Back: no trace file, the host ends with 130
    }

    void ReadOut(TSerThread& /*worker*/) override {}

private:
    std::unique_ptr<TDeviceLister> Lister;
    std::shared_ptr<TIdentifyResult> Result;
};

} // namespace

std::unique_ptr<TStages> MakeIdentifyStages(std::unique_ptr<TDeviceLister> lister,
                                            std::shared_ptr<TIdentifyResult> result)
{
    return std::make_unique<TIdentifyStages>(std::move(lister), std::move(result));
}
