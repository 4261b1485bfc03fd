#pragma once

#include <memory>

class TSerThread;
class TDeviceLister;

// The seam through which the worker loop runs its stages: Connect on page 5 (discovery, bring-up
// and link check), ReadOut on page 6 (the memory read-out). Tests plug in stages of their own.
class TStages
{
public:
    virtual ~TStages() = default;
    virtual void Connect(TSerThread& worker) = 0;
    virtual void ReadOut(TSerThread& worker) = 0;
};

// The real stages: FindServer over the given device lister, BringUpLink, CheckLink on SerIF,
// ReadMemory.
std::unique_ptr<TStages> MakeSerialStages(std::unique_ptr<TDeviceLister> lister);

// The stages the programs run: MakeSerialStages over the system's device lister.
std::unique_ptr<TStages> MakeSystemStages();
