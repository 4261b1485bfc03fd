#include "worker/devicelister.h"
#include "worker/serthread.h"
#include "worker/stages.h"

namespace {

// Connect: discovery, bring-up and the link check on the window's port; ReadOut: the memory.
class TSerialStages final : public TStages
{
public:
    explicit TSerialStages(std::unique_ptr<TDeviceLister> lister) : Lister(std::move(lister)) {}

    void Connect(TSerThread& worker) override
    {
        worker.ClearTrace();
        worker.FindServer(*Lister);
        worker.BringUpLink();
        worker.CheckLink(worker.SerIF());
    }

    void ReadOut(TSerThread& worker) override { worker.ReadMemory(); }

private:
    std::unique_ptr<TDeviceLister> Lister;
};

} // namespace

std::unique_ptr<TStages> MakeSerialStages(std::unique_ptr<TDeviceLister> lister)
{
    return std::make_unique<TSerialStages>(std::move(lister));
}
