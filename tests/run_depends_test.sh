#!/usr/bin/env bash
# What the run command installs, as scripts/tools.sh reads it from
# debian/control, against dpkg's own reading of the same fields: the
# Build-Depends under the nocheck profile but debhelper, build-essential, and
# the package's Depends and Recommends. A field read wrongly, or left out,
# shows as a difference.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/tools.sh
ours=$({ build_depends; runtime_depends; } | sed 's/, /\n/g' | sort)
dpkgs=$(perl -MDpkg::Control::Info -MDpkg::Deps -e '
  my $control = Dpkg::Control::Info->new("debian/control");
  my ($package) = $control->get_packages;
  my @fields = ("build-essential, " . $control->get_source->{"Build-Depends"},
                # Without substitution variables, and the commas they leave.
                map { ($package->{$_} // "") =~ s/\$\{[^}]*\}//gr
                                             =~ s/^[\s,]+|(?<=,)[\s,]+|,\s*$//gr }
                  "Depends", "Recommends");
  for my $field (grep { /\S/ } @fields) {  # a field of substitution variables alone is empty
    my $deps = deps_parse($field =~ s/\s+/ /gr, build_dep => 1, build_profiles => ["nocheck"],
                          reduce_profiles => 1)
      or die "dpkg cannot parse: $field\n";
    print $_->output, "\n" for grep { $_->output !~ /^debhelper/ } $deps->get_deps;
  }' | sort)
if [ -z "$ours" ] || [ "$ours" != "$dpkgs" ]; then
  diff <(echo "$dpkgs") <(echo "$ours") >&2 || true
  die "the run command reads debian/control otherwise than dpkg (<: dpkg's, >: the run command's)"
fi
echo "the run command installs what dpkg reads: $(echo "$ours" | paste -sd, | sed 's/,/, /g')"
