// The exported name: kept apart because "certify" is also the name of the
// request-buffer namespace the library's logic uses.
#include <windows.h>

LONG WINAPI CertifyRequest(BYTE* request);

extern "C" LONG WINAPI certify(BYTE* request)
{
    return CertifyRequest(request);
}
