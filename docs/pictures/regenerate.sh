#!/usr/bin/env bash
# Regenerates the card pictures shown in docs/card-pictures.md from a native build: runs the
# test that reads every sample card on the simulated reader (it writes each card's photo and
# faces into the build folder's faces/), then copies the ones the page shows.
#
#   docs/pictures/regenerate.sh [build folder, default build/linux]
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "$repo_root" && realpath -m "${1:-build/linux}")
pictures="$repo_root/docs/pictures"

(cd "$build/unit" &&
    ./VornIdReaderTests --gtest_filter='PictureStages.EverySampleCardGetsItsThreePictures' >/dev/null)
for card in resident_dated foreigner_usa; do
    for side in front back; do
        cp "$build/faces/$card-$side.jpg" "$pictures/$card-$side.jpg"
    done
done
cp "$build/faces/resident_dated-photo.jpg" "$pictures/resident_dated-photo.jpg"
echo "regenerate.sh: pictures copied from $build/faces to $pictures"
