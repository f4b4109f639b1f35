// In place of MIT Kerberos's GSS-API library on the disc. Qt's network
// library links it for signing in to web servers that ask for Kerberos
// (HTTP "Negotiate"); Qt Multimedia links Qt's network library, but this
// program plays files from its disc and never signs in anywhere. Should it
// ever be asked, every call fails as GSS-API fails without credentials, and
// Qt reports that sign-in as failed. Carried instead of the real one, it keeps
// Kerberos off the disc and out of what the player loads before its first
// frame. The names and their version are the ones Qt 6.4 imports.

#include <cstddef>
#include <cstdint>

extern "C" {

using OM_uint32 = std::uint32_t;

struct gss_OID_desc
{
    OM_uint32 length;
    void *elements;
};

struct gss_buffer_desc
{
    std::size_t length;
    void *value;
};

namespace {
constexpr OM_uint32 complete = 0;
// GSS_S_NO_CRED: no credentials were supplied, or they are unavailable.
constexpr OM_uint32 noCredentials = 7u << 16;
// GSS_S_FAILURE: unspecified failure.
constexpr OM_uint32 failure = 13u << 16;

OM_uint32 answer(OM_uint32 *minor, OM_uint32 major)
{
    if (minor)
        *minor = 0;
    return major;
}

// The host-based service name type, { 1 2 840 113554 1 2 1 4 }.
char hostBasedService[] = "\x2a\x86\x48\x86\xf7\x12\x01\x02\x01\x04";
gss_OID_desc hostBasedServiceOid = {10, hostBasedService};
} // namespace

__attribute__((visibility("default"))) gss_OID_desc *GSS_C_NT_HOSTBASED_SERVICE = &hostBasedServiceOid;

__attribute__((visibility("default"))) OM_uint32 gss_import_name(OM_uint32 *minor, gss_buffer_desc *, gss_OID_desc *,
                                                                 void **name)
{
    if (name)
        *name = nullptr;
    return answer(minor, failure);
}

__attribute__((visibility("default"))) OM_uint32 gss_acquire_cred(OM_uint32 *minor, void *, OM_uint32, void *, int,
                                                                  void **credentials, void **mechanisms,
                                                                  OM_uint32 *seconds)
{
    if (credentials)
        *credentials = nullptr;
    if (mechanisms)
        *mechanisms = nullptr;
    if (seconds)
        *seconds = 0;
    return answer(minor, noCredentials);
}

__attribute__((visibility("default"))) OM_uint32 gss_init_sec_context(OM_uint32 *minor, void *, void **, void *,
                                                                      gss_OID_desc *, OM_uint32, OM_uint32, void *,
                                                                      gss_buffer_desc *, gss_OID_desc **actualMechanism,
                                                                      gss_buffer_desc *output, OM_uint32 *flags,
                                                                      OM_uint32 *seconds)
{
    if (actualMechanism)
        *actualMechanism = nullptr;
    if (output)
        *output = {0, nullptr};
    if (flags)
        *flags = 0;
    if (seconds)
        *seconds = 0;
    return answer(minor, noCredentials);
}

__attribute__((visibility("default"))) OM_uint32 gss_display_status(OM_uint32 *minor, OM_uint32, int, gss_OID_desc *,
                                                                    OM_uint32 *messageContext, gss_buffer_desc *text)
{
    static char why[] = "Kerberos is not carried on this disc";
    if (messageContext)
        *messageContext = 0;
    if (text)
        *text = {sizeof why - 1, why};
    return answer(minor, complete);
}

__attribute__((visibility("default"))) OM_uint32 gss_release_buffer(OM_uint32 *minor, gss_buffer_desc *buffer)
{
    // Only gss_display_status hands out text, and that is static.
    if (buffer)
        *buffer = {0, nullptr};
    return answer(minor, complete);
}

#define TREVLIN_RELEASE(name)                                                                     \
    __attribute__((visibility("default"))) OM_uint32 name(OM_uint32 *minor, void **handle)         \
    {                                                                                             \
        if (handle)                                                                               \
            *handle = nullptr;                                                                    \
        return answer(minor, complete);                                                           \
    }
TREVLIN_RELEASE(gss_release_name)
TREVLIN_RELEASE(gss_release_cred)

__attribute__((visibility("default"))) OM_uint32 gss_delete_sec_context(OM_uint32 *minor, void **context,
                                                                        gss_buffer_desc *output)
{
    if (context)
        *context = nullptr;
    if (output)
        *output = {0, nullptr};
    return answer(minor, complete);
}

} // extern "C"
