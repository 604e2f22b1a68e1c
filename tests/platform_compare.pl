#!/usr/bin/perl
# Compares a run of the Windows build with a run of the Linux build on the same event, modulo the
# documented differences of the two platforms:
#   - text-mode line ends: every "\n" the program writes to the console or into the report
#     arrives as "\r\n" on Windows;
#   - the pause: on Linux the program prints "Press any key to continue . . . " and a line end
#     itself; on Windows it runs the command interpreter's PAUSE, which prints its own prompt
#     (PAUSE_FILE holds that prompt, as the interpreter printed it with nothing to read).
# Anything else that differs is reported with its first difference, and the exit code is 1.
#
# usage: platform_compare.pl PAUSE_FILE CASE_DIR
# CASE_DIR holds input/ (the event before the runs), linux/ and windows/ (the working folders
# after the runs), linux.out and windows.out (standard output), linux.rc and windows.rc.
use strict;
use warnings;
use File::Find;

my ($pause_file, $case) = @ARGV;
die "usage: $0 PAUSE_FILE CASE_DIR\n" unless defined $case;

sub slurp {
  my ($file) = @_;
  open(my $in, '<:raw', $file) or die "cannot read $file: $!\n";
  local $/;
  my $bytes = <$in>;
  close($in);
  return defined $bytes ? $bytes : '';
}

sub crlf { my ($text) = @_; $text =~ s/\n/\r\n/g; return $text; }

my $linux_pause = "Press any key to continue . . . \n";
my $windows_pause = slurp($pause_file);

sub windows_console {
  my ($linux) = @_;
  return join($windows_pause, map { crlf($_) } split(/\Q$linux_pause\E/, $linux, -1));
}

sub visible {
  my ($text) = @_;
  $text =~ s/([\\])/\\\\/g;
  $text =~ s/\r/\\r/g;
  $text =~ s/\n/\\n/g;
  $text =~ s/\t/\\t/g;
  $text =~ s/([^\x20-\x7e])/sprintf('\\x%02X', ord($1))/ge;
  return length($text) > 240 ? substr($text, 0, 240) . '...' : $text;
}

# Empty when equal; else where the two first differ, with the line around it in both.
sub first_difference {
  my ($expected, $actual) = @_;
  return '' if $expected eq $actual;
  my $limit = length($expected) < length($actual) ? length($expected) : length($actual);
  my $at = 0;
  $at++ while $at < $limit && substr($expected, $at, 1) eq substr($actual, $at, 1);
  my $line = 1 + (substr($expected, 0, $at) =~ tr/\n//);
  my $start = rindex($expected, "\n", $at - 1) + 1;
  $start = 0 if $at == 0;
  my $line_of = sub {
    my ($text) = @_;
    my $end = index($text, "\n", $at);
    $end = length($text) - 1 if $end < 0;
    return $start <= length($text) ? substr($text, $start, $end - $start + 1) : '';
  };
  return sprintf("first difference at byte %d (line %d; lengths %d expected, %d found)\n" .
                 "  expected: %s\n  found:    %s\n",
                 $at, $line, length($expected), length($actual),
                 visible($line_of->($expected)), visible($line_of->($actual)));
}

sub files_below {
  my ($dir) = @_;
  my %files;
  find({ no_chdir => 1, wanted => sub {
    return unless -f $_;
    (my $relative = $_) =~ s/^\Q$dir\E\/?//;
    $files{$relative} = 1;
  } }, $dir);
  return \%files;
}

my @problems;

my $linux_rc = slurp("$case/linux.rc");
my $windows_rc = slurp("$case/windows.rc");
chomp($linux_rc);
chomp($windows_rc);
push @problems, "exit code: Linux $linux_rc, Windows $windows_rc\n" if $linux_rc ne $windows_rc;

my $console = first_difference(windows_console(slurp("$case/linux.out")),
                               slurp("$case/windows.out"));
push @problems, "console output: $console" if $console ne '';

my $inputs = files_below("$case/input");
my $linux_files = files_below("$case/linux");
my $windows_files = files_below("$case/windows");
for my $name (sort keys %$linux_files) {
  push @problems, "file $name: written on Linux only\n" unless $windows_files->{$name};
}
for my $name (sort keys %$windows_files) {
  push @problems, "file $name: written on Windows only\n" unless $linux_files->{$name};
}
for my $name (sort keys %$windows_files) {
  next unless $linux_files->{$name};
  my $expected = $inputs->{$name} ? slurp("$case/input/$name")
                                  : crlf(slurp("$case/linux/$name"));
  my $what = $inputs->{$name} ? "input file $name (must not change)" : "file $name";
  my $difference = first_difference($expected, slurp("$case/windows/$name"));
  push @problems, "$what: $difference" if $difference ne '';
}

if (@problems) {
  print STDERR "  $_" for @problems;
  exit 1;
}
exit 0;
