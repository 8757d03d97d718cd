@echo off
rem Checks a data folder with the plug-in's own reading code: the folder dropped onto this file,
rem else the Quillmere folder next to it. Exit code: 0 no error, 1 errors, 2 the folder cannot be read.
setlocal
set "DATA=%~1"
if "%DATA%"=="" set "DATA=%~dp0Quillmere"
if not exist "%DATA%\*" goto notafolder
echo Checking "%DATA%"
echo.
"%~dp0Tools\brindlewick-check.exe" --data "%DATA%"
set "RESULT=%ERRORLEVEL%"
echo.
if "%RESULT%"=="0" echo Result: no errors. Warnings above, if any, are worth a look.
if "%RESULT%"=="1" echo Result: errors. Each line above names the file and the line; see Authors-README.txt.
if "%RESULT%"=="2" echo Result: the folder could not be read.
if not "%RESULT%"=="0" if not "%RESULT%"=="1" if not "%RESULT%"=="2" echo Result: the checker did not run, code %RESULT%. Unpack the whole archive and run Check.cmd from there.
pause
exit /b %RESULT%

:notafolder
echo "%DATA%" is not a folder. Drop the data folder itself onto Check.cmd. A folder whose name has no
echo blanks but one of "&", "," or ";" must be renamed first: Windows splits such a name when it is dropped.
pause
exit /b 2
