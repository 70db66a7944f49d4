#include "server/InterfaceName.h"

namespace halvex {
namespace {

struct NamedIid {
    GUID iid;
    const char *suffix;
};

constexpr GUID ComIid(unsigned long data1) {
    return {data1, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
}

constexpr GUID RpcIid(unsigned long data1) {
    return {data1, 0x593B, 0x101A, {0xB5, 0x69, 0x08, 0x00, 0x2B, 0x2D, 0xBF, 0x7A}};
}

// Compared in this order; the first match names the interface.
const NamedIid kNames[] = {
    {ComIid(0x00000001), " IID_IClassFactory"},
    {ComIid(0x00000002), " IID_IMalloc"},
    {ComIid(0x00000003), " IID_IMarshal"},
    {ComIid(0x00000004), " IID_IRpcChannel"},
    {ComIid(0x0000000F), " IID_IMoniker"},
    {ComIid(0x00000005), " IID_IRpcStub"},
    {ComIid(0x00000006), " IID_IStubManager"},
    {ComIid(0x00000007), " IID_IRpcProxy"},
    {ComIid(0x00000008), " IID_IProxyManager"},
    {ComIid(0x00000011), " IID_IInternalMoniker"},
    {ComIid(0x00000016), " IID_IMessageFilter"},
    {ComIid(0x00000018), " IID_IStdMarshalInfo"},
    {RpcIid(0xD5F56A34), " IID_IRpcProxyBuffer"},
    {RpcIid(0xD5F56AFC), " IID_IRpcStubBuffer"},
    {RpcIid(0xD5F56B60), " IID_IRpcChannelBuffer"},
    {ComIid(0x00000019), " IID_IExternalConnection"},
    {ComIid(0x00000017), " CLSID_StdMarshal"},
};

}  // namespace

const char *InterfaceName(REFIID riid) {
    for (const NamedIid &entry : kNames) {
        if (IsEqualGUID(riid, entry.iid)) return entry.suffix;
    }
    return "";
}

}  // namespace halvex
