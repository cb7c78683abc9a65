#!/bin/sh
# Makes the media fixtures of the tagging tests: audio by Debian's ffmpeg (5.1), tags by
# python3-mutagen (1.46, Debian's own python3), so that no fixture shares our own reading of a tag. Run once by hand;
# the tests only read the files it left here.
set -eu
cd "$(dirname "$0")"
ffmpeg -hide_banner -loglevel error -y -bitexact -f lavfi -i sine=frequency=440:sample_rate=22050:duration=1 \
  -c:a libmp3lame -b:a 16k -write_xing 0 -id3v2_version 0 -map_metadata -1 plain.mp3
for f in popm id3v1 ape empty; do cp plain.mp3 $f.mp3; done
rm plain.mp3
/usr/bin/python3 - <<'PY'
from mutagen.apev2 import APEv2
from mutagen.id3 import ID3, POPM, TIT2, TPE1, TDRC, TRCK, delete

# Rated twice: by the program that copied it (empty e-mail) and by another one.
tags = ID3()
tags.add(TIT2(encoding=3, text=["Rated Song"]))
tags.add(POPM(email="", rating=128, count=3))
tags.add(POPM(email="rater@example.org", rating=255, count=9))
tags.save("popm.mp3", v2_version=4)

# ID3v1 alone: written with an ID3v2 tag beside it, which is then taken away.
tags = ID3()
tags.add(TIT2(encoding=0, text=["Old Title"]))
tags.add(TPE1(encoding=0, text=["Old Artist"]))
tags.add(TDRC(encoding=0, text=["2001"]))
tags.add(TRCK(encoding=0, text=["7"]))
tags.save("id3v1.mp3", v1=2)
delete("id3v1.mp3", delete_v1=False, delete_v2=True)

# APEv2 alone, at the end of the file.
ape = APEv2()
ape["Title"] = "Ape Title"
ape["Artist"] = "Ape Artist"
ape["Year"] = "2003"
ape["Track"] = "5/10"
ape["Album Artist"] = "Ape Album Artist"
ape.save("ape.mp3")

# A title frame that is there but empty, beside an artist of its own.
tags = ID3()
tags.add(TIT2(encoding=3, text=[""]))
tags.add(TPE1(encoding=3, text=["Own Artist"]))
tags.save("empty.mp3", v2_version=4)
PY
