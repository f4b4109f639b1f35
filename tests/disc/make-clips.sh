#!/usr/bin/env bash
# Makes a one-second clip of each video and sound codec the disc plays that
# the checked-in clips do not cover, with this machine's GStreamer encoders:
#
#   make-clips.sh OUT_FOLDER      prints the clips' paths, one a line
#
# MS-MPEG4 v3 and MP2, MS-MPEG4 v2 and AC3, MPEG-4 ASP and PCM in AVI;
# MPEG-4 ASP with E-AC3, Vorbis or FLAC, and HEVC and Opus in Matroska. Fails, naming it, when an encoder is missing.
set -uo pipefail
out=$1
mkdir -p "$out"
video="videotestsrc num-buffers=25 pattern=ball ! video/x-raw,width=160,height=120,framerate=25/1,format=I420"
audio="audiotestsrc num-buffers=44 samplesperbuffer=1024 ! audio/x-raw,rate=44100,channels=2"
make() { # name, muxer, video encoder, audio encoder (each a pipeline piece)
  local name=$1 mux=$2 venc=$3 aenc=$4
  if ! timeout 120 gst-launch-1.0 -q -e $mux name=m ! filesink location="$out/$name" \
       $video ! $venc ! queue ! m. $audio ! $aenc ! queue ! m. >"$out/$name.log" 2>&1 \
     || [ ! -s "$out/$name" ]; then
    echo "FAIL: cannot make $name: $(tail -n 3 "$out/$name.log")" >&2
    return 1
  fi
  echo "$out/$name"
}
rc=0
make msmpeg4v3-mp2.avi avimux avenc_msmpeg4 "audioconvert ! avenc_mp2" || rc=1
make msmpeg4v2-ac3.avi avimux avenc_msmpeg4v2 "audioconvert ! avenc_ac3" || rc=1
make mpeg4-pcm.avi avimux avenc_mpeg4 "audioconvert ! audio/x-raw,format=S16LE" || rc=1
# GStreamer's MPEG-1/2 encoders here refuse every frame rate (they hand
# FFmpeg 5.1 a time base of 1/1000000000, which it rejects, whatever the
# caps say): MPEG-1 video with MP2 in AVI and MPEG-2 video with AC3 in
# Matroska are checked-in clips instead (clips/mpeg1-mp2.avi and
# clips/mpeg2-ac3.mkv, made once with FFmpeg's command-line program:
#   ffmpeg -f lavfi -i testsrc=size=160x120:rate=25:duration=1
#     -f lavfi -i sine=frequency=440:sample_rate=44100:duration=1 -map 0:v -map 1:a
#     -c:v mpeg1video -q:v 6 -g 12 -bf 2 -c:a mp2 -b:a 64k -ac 2
#     -fflags +bitexact -flags +bitexact -map_metadata -1 mpeg1-mp2.avi
# and the same with sample_rate=48000, -c:v mpeg2video and -c:a ac3 -b:a 96k
# for mpeg2-ac3.mkv).
make mpeg4-eac3.mkv matroskamux avenc_mpeg4 "audioconvert ! avenc_eac3" || rc=1
make mpeg4-vorbis.mkv matroskamux avenc_mpeg4 "audioconvert ! vorbisenc" || rc=1
make hevc-opus.mkv matroskamux "x265enc speed-preset=ultrafast ! h265parse" "audioconvert ! audioresample ! opusenc" || rc=1
make mpeg4-flac.mkv matroskamux avenc_mpeg4 "audioconvert ! flacenc" || rc=1
exit $rc
