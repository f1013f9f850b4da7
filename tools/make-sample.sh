#!/usr/bin/env bash
# Writes a small machine to try the installer on: a Wine-style prefix whose
# drive C holds a web server, a servlet container and a fonts directory, and a
# distribution folder to start the installer in.
set -euo pipefail
root=${1:?usage: make-sample.sh DIR}
mkdir -p "$root"
root=$(cd "$root" && pwd)
c="$root/prefix/drive_c"
apache="$c/Program Files/Apache Group/Apache"
tomcat="$c/Program Files/Apache Tomcat 4.0"
dist="$root/dist"

mkdir -p "$root/prefix/dosdevices" "$c/windows/Fonts" "$apache/conf" "$apache/htdocs" \
    "$apache/modules" "$tomcat/bin" "$tomcat/conf" "$tomcat/webapps" \
    "$dist/htdocs/images" "$dist/htdocs/jsp"
ln -sfn ../drive_c "$root/prefix/dosdevices/c:"

crlf() { sed 's/$/\r/'; }
crlf >"$apache/conf/httpd.conf" <<'CONF'
ServerRoot "C:/Program Files/Apache Group/Apache"
Listen 80
Include conf/extra/ssl.conf
DocumentRoot "C:/Program Files/Apache Group/Apache/htdocs"
CONF
crlf >"$tomcat/bin/startup.bat" <<'BAT'
@echo off
set JAVA_HOME=C:\old\jdk
call "%CATALINA_HOME%\bin\catalina.bat" start %*
BAT
crlf >"$tomcat/bin/shutdown.bat" <<'BAT'
@echo off
call "%CATALINA_HOME%\bin\catalina.bat" stop %*
BAT

printf '<html><body>Vorlan V1.5</body></html>\r\n' >"$dist/htdocs/index.html"
printf 'GIF89a' >"$dist/htdocs/images/logo.gif"
printf '<%% out.print("hello"); %%>\r\n' >"$dist/htdocs/jsp/hello.jsp"
printf 'PK vorlan' >"$dist/vorlan.jar"
printf 'PK pja' >"$dist/pja.jar"
printf 'MZ mod_jk' >"$dist/mod_jk.dll"
printf 'PK war' >"$dist/vorlan.war"
