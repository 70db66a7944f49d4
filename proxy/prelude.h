/* Force-included into the generated proxy/stub sources (C).
 *
 * The proxies' vtables reference the IUnknown proxy methods exported by
 * rpcrt4, but MinGW's unknwn.h declares them only for C++. */
#ifndef HALVEX_PROXY_PRELUDE_H
#define HALVEX_PROXY_PRELUDE_H

#include <objbase.h>

#ifndef __cplusplus
HRESULT STDMETHODCALLTYPE IUnknown_QueryInterface_Proxy(IUnknown *This, REFIID riid, void **ppvObject);
ULONG STDMETHODCALLTYPE IUnknown_AddRef_Proxy(IUnknown *This);
ULONG STDMETHODCALLTYPE IUnknown_Release_Proxy(IUnknown *This);
#endif

#endif
