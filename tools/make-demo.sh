#!/bin/sh
# Creates a ready demo site for Pagewick in DIR (default build/demo):
#   DIR/program   the program directory (weblog.ini, template)
#   DIR/site      the "web server": a marked weblog page and archive page
# Configuration 1 publishes by file:// into DIR/site, so a newcomer can write,
# preview and Finish without any server. An existing demo is left alone.
set -eu
dir=${1:-build/demo}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
program="$dir/program"
site="$dir/site"
[ -f "$program/weblog.ini" ] && exit 0
mkdir -p "$program" "$site"

crlf() { sed 's/$/\r/'; }

crlf > "$site/index.html" <<'HTML'
<html>
<head><title>My demo weblog</title></head>
<body>
<h1>My demo weblog</h1>
<p>New entries appear below this line. <a href="archive.html">Older entries</a> live in the archive.</p>
<!--pagewick-->
<!--|12/5/2000|5:44:36 PM|--><a name="e1"></a><B>Welcome to the demo</B><!--Title--><br>
By: Pagewick -- 05-Dec-00 @ 05:44 PM<br>
This page is a demo. Write an entry in Pagewick, press Preview, then Finish: the entry lands here.<br>
<!--**END**-->
</body>
</html>
HTML

crlf > "$site/archive.html" <<'HTML'
<html>
<head><title>My demo weblog: archive</title></head>
<body>
<h1>Archive</h1>
<!--PagewickArchiveStart-->
</body>
</html>
HTML

crlf > "$program/template.txt" <<'TEMPLATE'
<p><b>%title</b><br>
<small>By: %sig -- %date @ %time</small><br>
%body<br>
%newurl</p>
TEMPLATE

crlf > "$program/weblog.ini" <<INI
[General]
Config=1
[1]
website=file://$site/index.html
ftpsite=file://$site
username=
password=
ftpremote=index.html
timeout=60
autoftp=True
connection=direct
retreivemode=ftp
backendenabled=True
backendtitle=My demo weblog
backenddescript=A weblog kept with Pagewick
autodelete=True
deleteamount=10
archive=true
archiveurl=file://$site/archive.html
archiveftp=archive.html
defaultsig=Demo Writer
defaultemail=demo@example.org
dateformat=medium date
timeformat=medium time
templatefilename=template.txt
INI
echo "Demo site ready: $program (published to $site)"
