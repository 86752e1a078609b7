#!/usr/bin/env bash
# A picture of the second set missing: the show plays the whole first set, then stops at it with
# the box naming it over the first set's last picture. The longest wait of the failures, so a
# scenario of its own that runs beside the others.
. "$(dirname "$0")/lib.sh"
use_data
start_x 2000x1200x24
expect_missing_picture 2/1 1/5
echo "missing picture: the second set's first named over the first set's last, as expected"
