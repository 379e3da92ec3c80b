#include "probe/probe_library.h"

int ProbeOrdinal(EProbeOperation operation)
{
    for (const SProbeOrdinal& entry : kProbeLibraryOrdinals) {
        if (entry.operation == operation)
            return entry.ordinal;
    }
    return 0;
}
