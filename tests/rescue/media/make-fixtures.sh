#!/bin/sh
# Makes the media fixtures of the rescue tests. Run once by hand with Debian's ffmpeg (5.1);
# the tests only read the files it left here and never need ffmpeg.
set -eu
cd "$(dirname "$0")"
ff() { ffmpeg -hide_banner -loglevel error -y -bitexact "$@"; }
# tagged TITLE OUTPUT ffmpeg-arguments...: the arguments, then the same tags on every fixture.
tagged() {
  title=$1 out=$2
  shift 2
  ff "$@" -metadata title="$title" -metadata artist="Ana Ruiz" -metadata album="Harbour Lights" \
    -metadata album_artist="Various Artists" -metadata track=3/12 -metadata disc=1/2 \
    -metadata date=2004 -metadata genre=Folk -metadata composer="Jo Park" -metadata comment="Kept" "$out"
}
tone="sine=frequency=440:sample_rate=22050:duration=2"
# MP3, 2 s of 22.05 kHz mono at 16 kbit/s, ID3v2.3 and ID3v2.4 tags, no ID3v1, no Xing header.
tagged "Tide Song" id3v23.mp3 -f lavfi -i $tone -c:a libmp3lame -b:a 16k -write_xing 0 -id3v2_version 3
tagged "Night Ferry" id3v24.mp3 -f lavfi -i $tone -c:a libmp3lame -b:a 16k -write_xing 0 -id3v2_version 4
# MP3 without any tag.
ff -f lavfi -i $tone -c:a libmp3lame -b:a 16k -write_xing 0 -id3v2_version 0 -map_metadata -1 notags.mp3
# AAC in an M4A with iTunes-style atoms (ilst), moov first.
tagged "Salt Road" aac.m4a -f lavfi -i $tone -c:a aac -b:a 16k -movflags +faststart
# Apple Lossless, 0.25 s of 8 kHz mono, iTunes-style atoms.
tagged "Glass Bell" alac.m4a -f lavfi -i sine=frequency=440:sample_rate=8000:duration=0.25 -c:a alac \
  -movflags +faststart
# MPEG-4 video: 2 s of a 32x32 test picture at 2 frames a second, H.264 and AAC, iTunes-style atoms.
tagged "Lantern Clip" video.m4v -f lavfi -i testsrc=size=32x32:rate=2:duration=2 -f lavfi -i $tone \
  -c:v libx264 -preset veryslow -crf 45 -c:a aac -b:a 16k -shortest -movflags +faststart
# WAV, 0.25 s of 8 kHz mono PCM: ffmpeg keeps the tags in a RIFF INFO list (INAM, IART, IPRD, IGNR,
# ICRD, IPRT, ICMT; INFO has no album artist, composer or disc).
tagged "Quay Bell" info.wav -f lavfi -i sine=frequency=440:sample_rate=8000:duration=0.25 -c:a pcm_s16le
# MPEG-4 video without a sound track.
tagged "Still Harbour" silent.m4v -f lavfi -i testsrc=size=32x32:rate=2:duration=2 -c:v libx264 -preset veryslow \
  -crf 45 -movflags +faststart
# A protected AAC file as the iTunes Store sold them: the AAC fixture with its sample entry named
# drms, which no encoder writes (the audio stays readable, which the tests never need).
python3 -c 'import sys; d = open("aac.m4a", "rb").read(); i = d.index(b"mp4a", d.index(b"stsd"));
sys.stdout.buffer.write(d[:i] + b"drms" + d[i + 4:])' > protected.m4p
# The ID3v2.4 MP3 cut short after its first 2,000 bytes, as a failing disk leaves a file.
head -c 2000 id3v24.mp3 > truncated.mp3
# A text file that only carries a media file's name.
printf 'This is not audio, only a file named like one.\n' > text.mp3
