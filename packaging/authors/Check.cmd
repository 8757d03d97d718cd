@echo off
rem Checks a data folder with the plug-in's own reading code: the folder dropped onto this file,
rem else the Quillmere folder next to it. Exit code: 0 no error, 1 errors, 2 the folder cannot be read.
setlocal
set "DATA=%~1"
if "%DATA%"=="" set "DATA=%~dp0Quillmere"
echo Checking "%DATA%"
echo.
"%~dp0Tools\brindlewick-check.exe" --data "%DATA%"
set "RESULT=%ERRORLEVEL%"
echo.
if "%RESULT%"=="0" echo Result: no errors. Warnings above, if any, are worth a look.
if "%RESULT%"=="1" echo Result: errors. Each line above names the file and the line; see Authors-README.txt.
if "%RESULT%"=="2" echo Result: the folder could not be read.
pause
exit /b %RESULT%
