# What the disc's and the end-to-end tests look at to see that the internal
# player plays, sourced by both. The caller has `work` (a folder of its own),
# `fail` and `main_id` (the main window).

# The player's window (the other window of the program's name), and the parts
# of it that show whether it plays: the picture's area and the time.
player_window() { xdotool search --onlyvisible --name '^Trevlin$' 2>/dev/null | grep -vx "$main_id" | tail -n 1; }
video_crop=477x270+10+50
time_crop=70x16+417+327

# Some pixels of the part differ. The parts go through files: ImageMagick's
# policy here refuses to read /dev/fd, and an error must not count as a change.
differs() { # picture, picture, part
  local rc
  convert "$1" -crop "$3" +repage "$work/part-a.png" && convert "$2" -crop "$3" +repage "$work/part-b.png" \
    || fail "cannot crop the screenshots"
  compare -metric AE "$work/part-a.png" "$work/part-b.png" null: 2>"$work/compare.log"
  rc=$?
  [ "$rc" -le 1 ] || fail "cannot compare the screenshots: $(cat "$work/compare.log")"
  [ "$rc" -eq 1 ]
}
