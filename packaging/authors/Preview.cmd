@echo off
rem Plays the data folder dropped onto this file (else the Quillmere folder next to it) in the
rem stand-in for the game and opens the page of what each city's citizens got in the default browser.
rem Exit code: the preview's (0 when the page was written).
setlocal
set "DATA=%~1"
if "%DATA%"=="" set "DATA=%~dp0Quillmere"
if not exist "%DATA%\*" goto notafolder
for %%I in ("%DATA%") do set "PAGE=%~dp0Preview of %%~nxI.html"
for %%I in ("%DATA%") do set "REPORT=%~dp0Preview of %%~nxI.txt"
echo Previewing "%DATA%" (this takes about half a minute)
"%~dp0Tools\brindlewick-preview.exe" run "%~dp0Tools\Preview-scenario.txt" --data "%DATA%" --html "%PAGE%" > "%REPORT%"
set "RESULT=%ERRORLEVEL%"
echo.
if not "%RESULT%"=="0" goto failed
echo The page: "%PAGE%"
echo The full report: "%REPORT%"
start "" "%PAGE%"
pause
exit /b 0

:failed
echo The preview stopped with exit code %RESULT%. The lines above say why; see Authors-README.txt.
pause
exit /b %RESULT%

:notafolder
echo "%DATA%" is not a folder. Drop the data folder itself onto Preview.cmd. A folder whose name has no
echo blanks but one of "&", "," or ";" must be renamed first: Windows splits such a name when it is dropped.
pause
exit /b 2
