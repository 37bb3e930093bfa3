#pragma once

#include <cstdint>

#include "IMoaXtra.h"
#include "TStdXtraInterface.h"

namespace VoXtra {

// The registration interface: enters the tracker's script methods (the
// method table text) and its playback flag into the host's registry.
class TStdXtra_IMoaRegister final : public TStdXtraInterface<Moa::IMoaRegister, TStdXtra_IMoaRegister>
{
public:
    // Size of the buffer the method table text is written into.
    static constexpr uint32_t TEXT_BUFFER_SIZE = 719;

    // Adds the entry for the class's script interface to i_cache, then puts
    // the method table text (the module line, two comment lines, an empty
    // line, then one line per method in call-index order) and, if that
    // succeeded, the flag. The text goes through a buffer of the host's
    // memory, freed again before returning. Returns the
    // first failing status, MOA_OUT_OF_MEMORY when the host gives no text
    // buffer, else the status of the last put.
    Moa::TMoaStatus Register(Moa::IMoaRegistrationCache* i_cache, Moa::IMoaDictionary* i_xtra_dictionary) override;

private:
    friend class TStdXtraInterface<Moa::IMoaRegister, TStdXtra_IMoaRegister>;
    explicit TStdXtra_IMoaRegister(TStdXtra* i_xtra) : TStdXtraInterface(i_xtra) {}
};

}  // namespace VoXtra
