// In place of libsndfile on the disc. PulseAudio's client library links
// libsndfile for the sound-file helpers of its command-line tools (paplay,
// parec), which take a file the tool opened with libsndfile itself. This
// program never opens one, so none of these is ever reached; each answers as
// libsndfile does for a file it cannot use. Carried instead of libsndfile, it
// keeps libsndfile and what that links (FLAC, Vorbis's encoder, MPEG audio,
// LAME) off the disc and out of what the player loads before its first frame.
// The names and their version are the ones PulseAudio 16 imports.

#include <cstdint>

extern "C" {

struct SNDFILE_tag;
using SNDFILE = SNDFILE_tag;
using sf_count_t = std::int64_t;

__attribute__((visibility("default"))) int sf_command(SNDFILE *, int, void *, int)
{
    return 0;
}

__attribute__((visibility("default"))) const char *sf_error_number(int)
{
    return "libsndfile is not carried on this disc";
}

__attribute__((visibility("default"))) const char *sf_get_string(SNDFILE *, int)
{
    return nullptr;
}

#define TREVLIN_NO_FRAMES(name, type)                                                             \
    __attribute__((visibility("default"))) sf_count_t name(SNDFILE *, type *, sf_count_t)          \
    {                                                                                             \
        return 0;                                                                                 \
    }
TREVLIN_NO_FRAMES(sf_readf_short, short)
TREVLIN_NO_FRAMES(sf_readf_int, int)
TREVLIN_NO_FRAMES(sf_readf_float, float)
TREVLIN_NO_FRAMES(sf_writef_short, const short)
TREVLIN_NO_FRAMES(sf_writef_int, const int)
TREVLIN_NO_FRAMES(sf_writef_float, const float)

} // extern "C"
