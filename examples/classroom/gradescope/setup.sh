#!/usr/bin/env bash
# Gradescope: runs once when the autograder image is built. The autograder's
# zip holds this script, run_autograder, the teacher's task.tests (hidden
# cases included: Gradescope shows them to the teacher only) and the Deskbay
# package deskbay_*.deb; they are unpacked into /autograder/source.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends /autograder/source/deskbay_*.deb
algtool --version
