' SPDX-License-Identifier: MIT
' Runs the Word calls of the Windows program against the real Microsoft Word, one document at a
' time, so that someone with Word can compare Word with the stand-in the tests use
' (fakewordserver.cpp) and with what the program expects of it (automation/wordcalls.h).
'
'   cscript //nologo real-word.vbs make FOLDER
'       makes the scenario documents in FOLDER with Word itself: password.docx (a password to
'       open), writeprotected.docx (a password to modify), recommended.docx (read-only
'       recommended), dirty.docx (a field that updates on opening), encoded.txt (text in code page
'       932), damaged.docx (a package cut short), macro.docm (an AutoOpen macro that writes
'       macro-ran.txt beside it and opens another document; needs "Trust access to the VBA
'       project object model" in Word's Trust Center, and is skipped without it)
'   cscript //nologo real-word.vbs convert DOCUMENT TARGET.rtf [plain]
'       converts one document with the program's calls, printing each step, how long it took and
'       Word's error number and description; with "plain", with the bare calls instead (no
'       settings and no arguments), as the program made them before
'
' A step that does not come back is Word waiting for an answer in a window nobody sees: note the
' scenario, end WINWORD.EXE in the Task Manager and go on. For "file in use", open the document in
' Word first and leave it open. Compare with the table of the stand-in's behaviours at the top of
' fakewordserver.cpp; the error number of a wrong password is the one the program expects as
' kWordWrongPassword (5408).
Option Explicit

Dim started

Sub Report(stepName)
    If Err.Number <> 0 Then
        WScript.Echo stepName & ": failed after " & FormatNumber(Timer - started, 1) & " s, error " & _
            Err.Number & " (0x" & Hex(Err.Number) & "): " & Err.Description
        Err.Clear
    Else
        WScript.Echo stepName & ": done after " & FormatNumber(Timer - started, 1) & " s"
    End If
    started = Timer
End Sub

Sub Convert(source, target, plain)
    Dim word
    started = Timer
    On Error Resume Next
    Set word = CreateObject("Word.Application")
    Report "CreateObject"
    If word Is Nothing Then Exit Sub
    If Not plain Then
        word.DisplayAlerts = 0           ' wdAlertsNone
        Report "DisplayAlerts = 0"
        word.AutomationSecurity = 3      ' msoAutomationSecurityForceDisable
        Report "AutomationSecurity = 3"
        ' FileName, ConfirmConversions, ReadOnly, AddToRecentFiles, PasswordDocument, then
        ' NoEncodingDialog as the sixteenth argument, as the program passes them by name.
        word.Documents.Open source, False, True, False, "#pavendel#none#", , , , , , , , , , , True
    Else
        word.Documents.Open source
    End If
    Report "Documents.Open"
    WScript.Echo "  ActiveDocument is " & word.ActiveDocument.FullName
    Err.Clear
    If Not plain Then
        ' FileName, FileFormat, LockComments, Password, AddToRecentFiles.
        word.ActiveDocument.SaveAs target, 6, , , False
    Else
        word.ActiveDocument.SaveAs target, 6
    End If
    Report "ActiveDocument.SaveAs"
    If Not plain Then
        word.Quit 0                      ' wdDoNotSaveChanges
    Else
        word.Quit
    End If
    Report "Quit"
    Set word = Nothing
End Sub

Sub Make(folder)
    Dim word, document, fso, stream
    Set fso = CreateObject("Scripting.FileSystemObject")
    Set word = CreateObject("Word.Application")
    word.DisplayAlerts = 0

    Set document = word.Documents.Add
    document.Content.Text = "Opened with a password."
    document.SaveAs2 folder & "\password.docx", 16, , "secret"
    document.Close 0

    Set document = word.Documents.Add
    document.Content.Text = "Modified with a password."
    document.SaveAs2 folder & "\writeprotected.docx", 16, , , , "secret"
    document.Close 0

    Set document = word.Documents.Add
    document.Content.Text = "Read-only recommended."
    document.SaveAs2 folder & "\recommended.docx", 16, , , , , True
    document.Close 0

    Set document = word.Documents.Add
    document.Content.Text = "Changes on opening: "
    document.Fields.Add document.Content.Characters.Last, -1, "DATE \@ ""HH:mm:ss""", False
    document.SaveAs2 folder & "\dirty.docx", 16
    document.Close 0

    Set document = word.Documents.Add
    document.Content.Text = "Runs a macro on opening."
    On Error Resume Next
    document.VBProject.VBComponents("ThisDocument").CodeModule.AddFromString _
        "Sub AutoOpen()" & vbLf & _
        "  Open ThisDocument.Path & ""\macro-ran.txt"" For Output As #1: Print #1, ""ran"": Close #1" & vbLf & _
        "  Documents.Add" & vbLf & _
        "End Sub"
    If Err.Number = 0 Then
        document.SaveAs2 folder & "\macro.docm", 13
    Else
        WScript.Echo "macro.docm skipped: " & Err.Description
        Err.Clear
    End If
    On Error GoTo 0
    document.Close 0
    word.Quit 0

    ' Shift-JIS text that the system's code page does not decode, so Word asks for the encoding.
    Set stream = CreateObject("ADODB.Stream")
    stream.Type = 2
    stream.Charset = "shift_jis"
    stream.Open
    stream.WriteText ChrW(26085) & ChrW(26412) & ChrW(35486) & " text"
    stream.SaveToFile folder & "\encoded.txt", 2
    stream.Close

    ' The password document's package cut in half: Word finds unreadable content.
    Dim whole, part
    Set stream = CreateObject("ADODB.Stream")
    stream.Type = 1
    stream.Open
    stream.LoadFromFile folder & "\writeprotected.docx"
    whole = stream.Size
    stream.Position = 0
    part = stream.Read(whole \ 2)
    stream.Close
    Set stream = CreateObject("ADODB.Stream")
    stream.Type = 1
    stream.Open
    stream.Write part
    stream.SaveToFile folder & "\damaged.docx", 2
    stream.Close
    WScript.Echo "Made the scenario documents in " & folder
End Sub

If WScript.Arguments.Count >= 2 And WScript.Arguments(0) = "make" Then
    Make WScript.Arguments(1)
ElseIf WScript.Arguments.Count >= 3 And WScript.Arguments(0) = "convert" Then
    Dim plain
    plain = False
    If WScript.Arguments.Count >= 4 Then plain = (WScript.Arguments(3) = "plain")
    Convert WScript.Arguments(1), WScript.Arguments(2), plain
Else
    WScript.Echo "Usage: cscript //nologo real-word.vbs make FOLDER"
    WScript.Echo "       cscript //nologo real-word.vbs convert DOCUMENT TARGET.rtf [plain]"
End If
