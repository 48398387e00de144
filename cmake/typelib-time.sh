#!/bin/sh
# Gives a type library made by widl a fixed time: widl writes the time it ran
# into it twice, as text ("Created by WIDL version V at <ctime>") and as a
# number (the custom value after it), so two builds of one commit would differ.
#   typelib-time.sh TLB SECONDS-SINCE-1970
# Both become the given time (the last commit's, in UTC). Fails, leaving the
# file as it was, unless the text and the number are there exactly once.
[ $# -eq 2 ] || { echo "usage: typelib-time.sh TLB SECONDS" >&2; exit 2; }
exec perl -0777 -e '
  my ($tlb, $time) = @ARGV;
  open(my $in, "<:raw", $tlb) or die "typelib-time: $tlb: $!\n";
  my $bytes = <$in>;
  close $in;
  # The text (ctime: 24 characters and a newline), then the number: a
  # VT_UI4 (0x13) custom value, little-endian.
  my $stamp = qr/(Created by WIDL version \S+ at ).{24}\n(WW\x13\x00)(.{4})/s;
  my $found = 0;
  $found++ while $bytes =~ /$stamp/g;
  $found == 1 or die "typelib-time: $tlb: no single WIDL time stamp (found $found)\n";
  my $text = scalar gmtime($time);
  $bytes =~ s/$stamp/$1 . $text . "\n" . $2 . pack("V", $time)/e;
  open(my $out, ">:raw", $tlb) or die "typelib-time: $tlb: $!\n";
  print $out $bytes;
  close $out or die "typelib-time: $tlb: $!\n";
' "$1" "$2"
